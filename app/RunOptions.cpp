#include "RunOptions.h"

#include <QSettings>

#include "formats/Formats.h"

namespace vizuvod {

bool TRunOptions::Offered(TResultFormat format) {
#ifdef VIZUVOD_HEIF
  (void)format;
  return true;
#else
  return format != TResultFormat::rfAvif;
#endif
}

TWindowOptions TRunOptions::EngineOptions() const {
  TWindowOptions engine;
  engine.keepMetadata = keepMetadata;
  engine.stripLocation = StripsLocation();
  engine.autoOrient = autoOrient;
  engine.anyFormat = moreFormats;
  engine.format = format;
  // The codec's own default is the design's 90: asked for by leaving it 0.
  engine.quality = quality == DefaultQuality ? 0 : quality;
  engine.maxBytes = std::uintmax_t(maxKilobytes) * 1000;
  engine.resultFolder = resultFolder.toStdString();
  engine.keepGoing = keepGoing;
  engine.toSrgb = toSrgb;
  engine.longEdge = longEdge;
  return engine;
}

TFormats TRunOptions::ScanFormats() const { return moreFormats ? TFormats::All() : TFormats{}; }

std::unique_ptr<QSettings> WindowSettings() {
  return std::make_unique<QSettings>(QStringLiteral("Fotrix"), QStringLiteral("Vizuvod"));
}

TRunOptions LoadRunOptions(QSettings& settings) {
  TRunOptions o;
  settings.beginGroup(QStringLiteral("Options"));
  o.keepMetadata = settings.value(QStringLiteral("keepMetadata"), false).toBool();
  o.stripLocation = settings.value(QStringLiteral("stripLocation"), false).toBool();
  o.autoOrient = settings.value(QStringLiteral("autoOrient"), false).toBool();
  o.moreFormats = settings.value(QStringLiteral("moreFormats"), false).toBool();
  o.resultFolder = settings.value(QStringLiteral("resultFolder")).toString();
  const QString format = settings.value(QStringLiteral("format")).toString();
  for (const TFormatRow& row : FormatRows())
    if (row.resultExtension && format == QLatin1String(row.name) &&
        TRunOptions::Offered(row.result))
      o.format = row.result;
  const int quality = settings.value(QStringLiteral("quality"), o.quality).toInt();
  if (quality >= 1 && quality <= 100) o.quality = quality;
  const int limit = settings.value(QStringLiteral("maxKilobytes"), 0).toInt();
  if (limit > 0 && limit <= TRunOptions::MaxKilobytes) o.maxKilobytes = limit;
  o.keepGoing = settings.value(QStringLiteral("keepGoing"), false).toBool();
  o.toSrgb = settings.value(QStringLiteral("toSrgb"), false).toBool();
  o.longEdge = settings.value(QStringLiteral("longEdge"), false).toBool();
  settings.endGroup();
  return o;
}

void SaveRunOptions(QSettings& settings, const TRunOptions& o) {
  settings.beginGroup(QStringLiteral("Options"));
  settings.setValue(QStringLiteral("keepMetadata"), o.keepMetadata);
  settings.setValue(QStringLiteral("stripLocation"), o.stripLocation);
  settings.setValue(QStringLiteral("autoOrient"), o.autoOrient);
  settings.setValue(QStringLiteral("moreFormats"), o.moreFormats);
  settings.setValue(QStringLiteral("resultFolder"), o.resultFolder);
  for (const TFormatRow& row : FormatRows())
    if (row.resultExtension && row.result == o.format)
      settings.setValue(QStringLiteral("format"), QLatin1String(row.name));
  settings.setValue(QStringLiteral("quality"), o.quality);
  settings.setValue(QStringLiteral("maxKilobytes"), o.maxKilobytes);
  settings.setValue(QStringLiteral("keepGoing"), o.keepGoing);
  settings.setValue(QStringLiteral("toSrgb"), o.toSrgb);
  settings.setValue(QStringLiteral("longEdge"), o.longEdge);
  settings.endGroup();
  settings.sync();
}

}  // namespace vizuvod
