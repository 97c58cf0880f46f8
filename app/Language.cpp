// The translator of the window's texts and the kept choice of language.
#include "Language.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTranslator>
#include <string_view>

#include "RunOptions.h"
#include "core/Warnings.h"

namespace vizuvod {

namespace {

constexpr const char* LanguageKey = "language";

// The engine's warnings as lupdate reads them; the compiler holds each to the
// engine's own text, so a changed warning cannot lose its translation unseen.
constexpr const char* EngineWarnings[] = {
    QT_TRANSLATE_NOOP("vizuvod::Warnings",
                      "В указанной вами папке не найдено фотографий. Для "
                      "продолжения работы укажите другую папку."),
    QT_TRANSLATE_NOOP("vizuvod::Warnings",
                      "Измените значение \"Процент от оригинала\", при 100% программа не "
                      "сможет производить какие-либо действия"),
    QT_TRANSLATE_NOOP("vizuvod::Warnings",
                      "Выберите, по какой стороне сохранять пропорции: \"По "
                      "ширине\" или \"По высоте\"."),
    QT_TRANSLATE_NOOP("vizuvod::Warnings",
                      "Измените значение \"Процент от оригинала\": процент "
                      "должен быть больше нуля."),
    QT_TRANSLATE_NOOP("vizuvod::Warnings",
                      "Измените значение \"размер\": размер в пикселях "
                      "должен быть больше нуля."),
};
static_assert(std::string_view(EngineWarnings[0]) == NoPhotosWarning);
static_assert(std::string_view(EngineWarnings[1]) == Percent100Warning);
static_assert(std::string_view(EngineWarnings[2]) == FitSideWarning);
static_assert(std::string_view(EngineWarnings[3]) == PercentNotPositiveWarning);
static_assert(std::string_view(EngineWarnings[4]) == PixelsNotPositiveWarning);

// Installed while the window speaks English.
QTranslator* English() {
  static QTranslator* translator = [] {
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QStringLiteral(":/i18n/vizuvod_en.qm")))
      qWarning("vizuvod: the English translation is missing from the program");
    return t;
  }();
  return translator;
}

TLanguage current = TLanguage::lgRussian;

// The few texts of Qt's own boxes the window shows (the details of the box at
// the end of a run), in Russian while the window speaks it.
class TQtBoxTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* = nullptr,
                    int = -1) const override {
    if (current != TLanguage::lgRussian || std::string_view(context) != "QMessageBox") return {};
    if (std::string_view(source) == "Show Details...") return QStringLiteral("Подробности…");
    if (std::string_view(source) == "Hide Details...") return QStringLiteral("Скрыть подробности");
    return {};
  }
};

}  // namespace

TLanguage StoredLanguage() {
  return WindowSettings()->value(QLatin1String(LanguageKey)).toString() == QLatin1String("en")
             ? TLanguage::lgEnglish
             : TLanguage::lgRussian;
}

void StoreLanguage(TLanguage language) {
  const auto settings = WindowSettings();
  settings->setValue(QLatin1String(LanguageKey), language == TLanguage::lgEnglish
                                                     ? QStringLiteral("en")
                                                     : QStringLiteral("ru"));
  settings->sync();
}

void ApplyLanguage(TLanguage language) {
  static const bool boxTexts =
      QCoreApplication::installTranslator(new TQtBoxTexts(QCoreApplication::instance()));
  (void)boxTexts;
  if (language == current) return;
  current = language;
  if (language == TLanguage::lgEnglish)
    QCoreApplication::installTranslator(English());
  else
    QCoreApplication::removeTranslator(English());
}

TLanguage CurrentLanguage() { return current; }

QString WarningText(const char* text) {
  return QCoreApplication::translate("vizuvod::Warnings", text);
}

}  // namespace vizuvod
