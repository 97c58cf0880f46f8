// The window's options for a run (the "Параметры" menu): their values, kept
// between runs of the program with QSettings, and what they ask of the
// engine. Every value's default is the window as designed.
#pragma once

#include <QString>
#include <memory>

#include "WindowOptions.h"
#include "formats/ResultFormat.h"
#include "photo/PhotoScan.h"

class QSettings;

namespace vizuvod {

struct TRunOptions {
  bool keepMetadata = false;  // "Сохранять дату, камеру и цветовой профиль"
  bool stripLocation = false;  // "Без геоданных", counted only with keepMetadata
  bool autoOrient = false;     // "Поворачивать снимки по EXIF"
  bool moreFormats = false;    // "Также HEIC, AVIF, PNG и WebP"
  QString resultFolder;        // empty: "Рядом с фотографиями"
  TResultFormat format = TResultFormat::rfJpeg;
  int quality = DefaultQuality;  // 1 to 100
  int maxKilobytes = 0;          // 0: no size limit; a kilobyte is 1000 bytes
  bool keepGoing = false;        // "Не останавливаться на ошибках"
  bool toSrgb = false;           // "Цвета в sRGB"
  bool longEdge = false;         // "По длинной стороне" offered on page 2

  static constexpr int DefaultQuality = 90;
  static constexpr int MaxKilobytes = 1024 * 1024;  // a gigabyte
  // AVIF results are offered by builds with HEIF support only.
  static bool Offered(TResultFormat format);
  bool operator==(const TRunOptions&) const = default;
  bool StripsLocation() const { return keepMetadata && stripLocation; }

  // What the engine is asked for each photo, and the formats page 1 scans.
  TWindowOptions EngineOptions() const;
  TFormats ScanFormats() const;
};

// Where the window keeps its options and its language: the desktop's usual
// place for Fotrix Vizuvod's settings (~/.config/Fotrix/Vizuvod.conf).
std::unique_ptr<QSettings> WindowSettings();
// Values missing or out of range read as their defaults.
TRunOptions LoadRunOptions(QSettings& settings);
void SaveRunOptions(QSettings& settings, const TRunOptions& options);

}  // namespace vizuvod
