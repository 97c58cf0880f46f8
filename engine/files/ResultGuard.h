// The guard of both programs over the results they write under new names or
// into another folder (vizuvod-batch's --output, --name, --format, the
// window's "Параметры"): the photos of the run by identity, the results each
// photo claims, and the refusals, before the write and again at its moment.
// No photo of the run, no file the run did not make of that photo
// (WhyNotOwnResult) and no result another photo claims is ever written over.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/Errors.h"

namespace vizuvod {

// A refusal of a photo before anything of it is written: "<result>: <why>".
struct EResultRefused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A refusal at the moment of the write: "Cannot create file <result>: <why>".
class EResultRefusedAtWrite : public EFCreateError {
 public:
  EResultRefusedAtWrite(const std::string& path, const std::string& why)
      : EFCreateError("Cannot create file " + path + ": " + why, why,
                      "Cannot create file " + path + ": " + why) {}
};

class TResultGuard {
 public:
  static constexpr std::size_t None = static_cast<std::size_t>(-1);

  // photos: the run's list, kept by the caller while the guard lives; their
  // identities (device and inode, links followed) are taken now, and stay
  // when the list is cut afterwards (a shard of it): indexes refer to the
  // list as it is when they are used. notOursHint
  // ends the refusal of a file the run did not make (what the user may do).
  TResultGuard(const std::vector<std::string>& photos, std::string notOursHint);

  // A photo of the run, whatever its name or case.
  bool Holds(const struct stat& file) const;
  // A photo that no one but its owner may read: a report is private then.
  bool AnyPrivate() const { return anyPrivate_; }

  // Claims `result` for photo i; throws EResultRefused when another photo
  // of the run has it: `earlier` (found by the caller) or an earlier claim.
  // Without `remember`, only `earlier` counts and nothing is kept.
  void Claim(std::size_t i, const std::string& result, std::size_t earlier = None,
             bool remember = true);

  // Throws EResultRefused when the file `there` at `result` is a photo of
  // the run.
  void RefusePhotoOfTheRun(const std::string& result, const struct stat& there) const;
  // "<result>: <why>; it is not overwritten<hint>" when the file at `result`
  // is not the run's own result of the photo with this key; else "".
  std::string NotOurs(const std::string& result, const std::string& photoKey) const;
  // The guard at the write of photo i's result over the file `there`:
  // throws EResultRefusedAtWrite as the checks above would refuse it.
  void RefuseToReplace(std::size_t i, const std::string& path, const struct stat& there) const;

 private:
  const std::vector<std::string>& photos_;
  const std::string notOursHint_;
  std::vector<std::pair<dev_t, ino_t>> ids_;  // sorted
  bool anyPrivate_ = false;
  // Result paths claimed as photos reach them, keyed by a 64-bit hash
  // (equal hashes are taken for equal paths), and the photo that has each.
  std::mutex claimsMutex_;
  std::unordered_map<std::uint64_t, std::size_t> claims_;
};

}  // namespace vizuvod
