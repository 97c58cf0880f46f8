// The warnings the user reads instead of a run, in the wizard's own words.
// The window shows them in its warning box, vizuvod-batch prints them; both
// take them from here so the two never drift apart.
#pragma once

namespace vizuvod {

// The folder scan found nothing.
inline constexpr const char* NoPhotosWarning =
    "В указанной вами папке не найдено фотографий. Для продолжения работы укажите другую папку.";

// The settings page refuses a percentage of 100, which would write nothing.
inline constexpr const char* Percent100Warning =
    "Измените значение \"Процент от оригинала\", при 100% программа не сможет производить "
    "какие-либо действия";

// Pixel mode needs a side to keep the proportions by; without one of the two
// items nothing would be written.
inline constexpr const char* FitSideWarning =
    "Выберите, по какой стороне сохранять пропорции: \"По ширине\" или \"По высоте\".";

// A value of 0 or less in the active mode (see RunSettingsWarning).
inline constexpr const char* PercentNotPositiveWarning =
    "Измените значение \"Процент от оригинала\": процент должен быть больше нуля.";
inline constexpr const char* PixelsNotPositiveWarning =
    "Измените значение \"размер\": размер в пикселях должен быть больше нуля.";

}  // namespace vizuvod
