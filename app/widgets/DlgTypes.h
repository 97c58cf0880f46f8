// The enumerations of the folder chooser: what the dialog is placed against,
// where it goes, its option switches and the special folders it can start in.
// The order of every enumeration is part of the stored layout, so values are
// never reordered; the option set keeps bit n for the option in place n.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace vizuvod {

enum TDlgPosRel : std::uint8_t { brScreen, brScreenWorkArea, brMainForm, brActiveWindow };

enum TDlgPosition : std::uint8_t {
  bpCustom,
  bpTopLeft,
  bpTopCenter,
  bpTopRight,
  bpCenterLeft,
  bpCenter,
  bpCenterRight,
  bpBottomLeft,
  bpBottomCenter,
  bpBottomRight
};

enum TBrowseDlgOption : std::uint8_t {
  doBrowseForComputer,
  doBrowseForPrinter,
  doDontGoBelowDomain,
  doReturnFileSysAncestors,
  doReturnFileSysDirs,
  doStatusText,
  doShowFiles,
  doAllowEdit,
  doShowPath,
  doEnableOK
};
inline constexpr int BrowseDlgOptionCount = 10;

// A set of TBrowseDlgOption held in 16 bits.
class TBrowseDlgOptions {
 public:
  constexpr TBrowseDlgOptions() = default;
  constexpr TBrowseDlgOptions(std::initializer_list<TBrowseDlgOption> options) {
    for (TBrowseDlgOption o : options) Include(o);
  }
  static constexpr TBrowseDlgOptions FromBits(std::uint16_t bits) {
    TBrowseDlgOptions s;
    s.bits_ = std::uint16_t(bits & ((1u << BrowseDlgOptionCount) - 1));
    return s;
  }
  constexpr std::uint16_t Bits() const { return bits_; }
  constexpr bool Contains(TBrowseDlgOption o) const { return (bits_ >> o) & 1u; }
  constexpr void Include(TBrowseDlgOption o) { bits_ = std::uint16_t(bits_ | (1u << o)); }
  constexpr void Exclude(TBrowseDlgOption o) { bits_ = std::uint16_t(bits_ & ~(1u << o)); }
  constexpr bool operator==(const TBrowseDlgOptions&) const = default;

 private:
  std::uint16_t bits_ = 0;
};

// Each value carries the platform's special-folder code that selects the root.
// bfoDesktopExpanded names no folder on purpose: its lookup fails and the
// dialog shows the whole namespace from the top.
enum TSystemFolders : std::uint8_t {
  bfoDesktop,
  bfoDesktopExpanded,
  bfoPrograms,
  bfoControlPanel,
  bfoPrinters,
  bfoPersonal,
  bfoFavorites,
  bfoStartup,
  bfoRecent,
  bfoSendto,
  bfoRecycleBin,
  bfoStartMenu,
  bfoDesktopDirectory,
  bfoMyComputer,
  bfoNetwork,
  bfoNetworkNeighborhood,
  bfoInternet,
  bfoFonts,
  bfoTemplates,
  bfoCommonStartMenu,
  bfoCommonPrograms,
  bfoCommonStartup,
  bfoCommonDesktopDirectory,
  bfoAppData,
  bfoPrintHood,
  bfoAltStartup,
  bfoCommonAltstartup,
  bfoCommonFavorites,
  bfoInternetChache,
  bfoCookies,
  bfoHistory
};
inline constexpr int SystemFoldersCount = 31;

// The platform's special-folder code of each TSystemFolders value, in order.
inline constexpr std::uint16_t SystemFolderCodes[SystemFoldersCount] = {
    0x00, 0xFEFE, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
    0x0B, 0x10,   0x11, 0x12, 0x13, 0x01, 0x14, 0x15, 0x16, 0x17, 0x18,
    0x19, 0x1A,   0x1B, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22};

inline constexpr std::uint16_t SystemFolderCode(TSystemFolders f) { return SystemFolderCodes[f]; }

}  // namespace vizuvod
