#include "files/ResultGuard.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "files/OutputFolder.h"

namespace vizuvod {

namespace {

// Why a file at a result's path is not written over.
constexpr const char* PhotoOfTheRun = "it is a photo of this run; it is not written over";

std::string NotOursReason(const std::string& why, const std::string& hint) {
  return why + "; it is not overwritten" + hint;
}

}  // namespace

TResultGuard::TResultGuard(const std::vector<std::string>& photos, std::string notOursHint)
    : photos_(photos), notOursHint_(std::move(notOursHint)) {
  ids_.reserve(photos.size());
  for (const std::string& path : photos) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) continue;
    ids_.emplace_back(info.st_dev, info.st_ino);
    anyPrivate_ = anyPrivate_ || (info.st_mode & 0044) == 0;
  }
  std::sort(ids_.begin(), ids_.end());
}

bool TResultGuard::Holds(const struct stat& file) const {
  return std::binary_search(ids_.begin(), ids_.end(), std::make_pair(file.st_dev, file.st_ino));
}

void TResultGuard::Claim(std::size_t i, const std::string& result, std::size_t earlier,
                         bool remember) {
  std::size_t other = earlier;
  if (remember) {
    std::lock_guard lock(claimsMutex_);
    const auto [claim, fresh] = claims_.emplace(std::hash<std::string_view>{}(result), i);
    if (!fresh && claim->second != i) other = claim->second;
  }
  if (other != None && other != i)
    throw EResultRefused(result + " is also the result of " + photos_[other] +
                         "; it is not overwritten");
}

void TResultGuard::RefusePhotoOfTheRun(const std::string& result, const struct stat& there) const {
  if (Holds(there)) throw EResultRefused(result + ": " + PhotoOfTheRun);
}

std::string TResultGuard::NotOurs(const std::string& result, const std::string& photoKey) const {
  const std::string why = WhyNotOwnResult(result, photoKey);
  return why.empty() ? why : result + ": " + NotOursReason(why, notOursHint_);
}

void TResultGuard::RefuseToReplace(std::size_t i, const std::string& path,
                                   const struct stat& there) const {
  if (Holds(there)) throw EResultRefusedAtWrite(path, PhotoOfTheRun);
  if (const std::string why = WhyNotOwnResult(path, PhotoKeyOf(photos_[i])); !why.empty())
    throw EResultRefusedAtWrite(path, NotOursReason(why, notOursHint_));
}

}  // namespace vizuvod
