<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>vizuvod::TFolderPickerDialog</name>
    <message>
        <source>Обзор папок</source>
        <translation>Browse for Folder</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Папка:</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>Новая папка</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>Не удалось создать папку</source>
        <translation>The folder could not be made</translation>
    </message>
</context>
<context>
    <name>vizuvod::TForm2</name>
    <message>
        <source>Укажите папку с фотографиями (поддерживается только формат JPG)</source>
        <translation>Choose the folder with your photos (JPG only)</translation>
    </message>
    <message>
        <source>В указанной папке должны лежать только те фотографии размер которых нужно изменить</source>
        <translation>The folder should hold only the photos you want to resize</translation>
    </message>
    <message>
        <source>Настройка</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Для продолжения работы необходимо задать настройки</source>
        <translation>Choose how to resize the photos to continue</translation>
    </message>
    <message>
        <source>Авторесайз</source>
        <translation>Resizing</translation>
    </message>
    <message>
        <source>В зависимости от выбранного количества фотографий, процесс авторесайза может занять от      нескольких минут, до нескольких часов</source>
        <translation>Depending on the number of photos, resizing may take from a few minutes to a few hours</translation>
    </message>
    <message>
        <source>По ширине</source>
        <translation>By width</translation>
    </message>
    <message>
        <source>По высоте</source>
        <translation>By height</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Вид</source>
        <translation>View</translation>
    </message>
    <message>
        <source>Язык интерфейса</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Сайт разработчика</source>
        <translation>Developer&apos;s website</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Шаг 1</source>
        <translation>Step 1</translation>
    </message>
    <message>
        <source>Шаг 2</source>
        <translation>Step 2</translation>
    </message>
    <message>
        <source>Шаг 3</source>
        <translation>Step 3</translation>
    </message>
    <message>
        <source>Путь к папке с фотографиями:</source>
        <translation>Path to the photo folder:</translation>
    </message>
    <message>
        <source>Выбрать</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Дальше &gt;&gt;</source>
        <translation>Next &gt;&gt;</translation>
    </message>
    <message>
        <source>Процент от оригинала:</source>
        <translation>Percent of original:</translation>
    </message>
    <message>
        <source>Размер в пикселях:</source>
        <translation>Size in pixels:</translation>
    </message>
    <message>
        <source>Сохранять пропорции по:</source>
        <translation>Keep proportions by:</translation>
    </message>
    <message>
        <source>размер:</source>
        <translation>size:</translation>
    </message>
    <message>
        <source>пкс.</source>
        <translation>px</translation>
    </message>
    <message>
        <source>&lt;&lt; Назад</source>
        <translation>&lt;&lt; Back</translation>
    </message>
    <message>
        <source>Выбрано:</source>
        <translation>Selected:</translation>
    </message>
    <message>
        <source>фотографий.</source>
        <translation>photos.</translation>
    </message>
    <message>
        <source>Начать процесс авторесайза</source>
        <translation>Start resizing</translation>
    </message>
    <message>
        <source>Общий прогресс:</source>
        <translation>Overall progress:</translation>
    </message>
    <message>
        <source>Текущая фотография:</source>
        <translation>Current photo:</translation>
    </message>
    <message>
        <source>Отменить процесс</source>
        <translation>Cancel resizing</translation>
    </message>
    <message>
        <source> Отчет </source>
        <translation> Report </translation>
    </message>
    <message>
        <source>Всего фотографий:</source>
        <translation>Total photos:</translation>
    </message>
    <message>
        <source>Обработано фотографий:</source>
        <translation>Photos processed:</translation>
    </message>
    <message>
        <source>Параметры</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Сохранять дату, камеру и цветовой профиль</source>
        <translation>Keep date, camera and colour profile</translation>
    </message>
    <message>
        <source>Без геоданных</source>
        <translation>Without location</translation>
    </message>
    <message>
        <source>Поворачивать снимки по EXIF</source>
        <translation>Turn photos upright (EXIF)</translation>
    </message>
    <message>
        <source>Рядом с фотографиями</source>
        <translation>Beside the photos</translation>
    </message>
    <message>
        <source>Папка для результатов…</source>
        <translation>Results folder…</translation>
    </message>
    <message>
        <source>Также HEIC, AVIF, PNG и WebP</source>
        <translation>Also HEIC, AVIF, PNG and WebP</translation>
    </message>
    <message>
        <source>Формат результата</source>
        <translation>Result format</translation>
    </message>
    <message>
        <source>Качество…</source>
        <translation>Quality…</translation>
    </message>
    <message>
        <source>Качество: %1…</source>
        <translation>Quality: %1…</translation>
    </message>
    <message>
        <source>Не больше %1 КБ</source>
        <translation>At most %1 KB</translation>
    </message>
    <message>
        <source>Не больше … КБ</source>
        <translation>At most … KB</translation>
    </message>
    <message>
        <source>Папка для результатов:</source>
        <translation>Results folder:</translation>
    </message>
    <message>
        <source>Качество</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>Качество результатов, от 1 до 100:</source>
        <translation>Quality of the results, 1 to 100:</translation>
    </message>
    <message>
        <source>Размер файла</source>
        <translation>File size</translation>
    </message>
    <message>
        <source>Не больше стольких КБ на результат:</source>
        <translation>At most this many KB per result:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>дата и камера</source>
        <translation>date and camera</translation>
    </message>
    <message>
        <source>без геоданных</source>
        <translation>no location</translation>
    </message>
    <message>
        <source>поворот по EXIF</source>
        <translation>upright by EXIF</translation>
    </message>
    <message>
        <source>также HEIC, AVIF, PNG и WebP</source>
        <translation>also HEIC, AVIF, PNG and WebP</translation>
    </message>
    <message>
        <source>качество %1</source>
        <translation>quality %1</translation>
    </message>
    <message>
        <source>не больше %1 КБ</source>
        <translation>at most %1 KB</translation>
    </message>
    <message>
        <source>в папку %1</source>
        <translation>into %1</translation>
    </message>
    <message>
        <source>Параметры: %1</source>
        <translation>Options: %1</translation>
    </message>
    <message>
        <source>результаты в %1</source>
        <translation>results in %1</translation>
    </message>
    <message>
        <source>По длинной стороне</source>
        <translation>By long edge</translation>
    </message>
    <message>
        <source>данные повреждены и дополнены</source>
        <translation>damaged data completed</translation>
    </message>
    <message>
        <source>метаданные</source>
        <translation>metadata</translation>
    </message>
    <message>
        <source>взят первый кадр</source>
        <translation>first frame used</translation>
    </message>
    <message>
        <source>не обработана</source>
        <translation>not done</translation>
    </message>
    <message>
        <source>…и ещё %1, все — в подробностях</source>
        <translation>…and %1 more, all of them in the details</translation>
    </message>
    <message>
        <source>Укажите папку с фотографиями (JPG, HEIC, AVIF, PNG или WebP)</source>
        <translation>Choose the folder with your photos (JPG, HEIC, AVIF, PNG or WebP)</translation>
    </message>
    <message>
        <source>Цвета в sRGB</source>
        <translation>Colours to sRGB</translation>
    </message>
    <message>
        <source>Размер по длинной стороне</source>
        <translation>Size by long edge</translation>
    </message>
    <message>
        <source>Не останавливаться на ошибках</source>
        <translation>Go on past failing photos</translation>
    </message>
    <message>
        <source>цвета в sRGB</source>
        <translation>colours to sRGB</translation>
    </message>
    <message>
        <source>по длинной стороне</source>
        <translation>by long edge</translation>
    </message>
    <message>
        <source>не останавливаться на ошибках</source>
        <translation>go on past failures</translation>
    </message>
    <message>
        <source>и ещё %1…</source>
        <translation>and %1 more…</translation>
    </message>
    <message>
        <source>Размер: %1% от оригинала</source>
        <translation>Size: %1% of the original</translation>
    </message>
    <message>
        <source>Размер: %1, %2 пкс.</source>
        <translation>Size: %1, %2 px</translation>
    </message>
    <message>
        <source>Записано результатов: %1, в папку %2</source>
        <translation>Results written: %1, into %2</translation>
    </message>
    <message>
        <source>Не удалось обработать: %1</source>
        <translation>Failed: %1</translation>
    </message>
    <message>
        <source>Итоги авторесайза</source>
        <translation>Resize summary</translation>
    </message>
    <message>
        <source>Записано результатов: %1, в папку:</source>
        <translation>Results written: %1, into:</translation>
    </message>
    <message>
        <source>Не удалось обработать фотографий: %1.</source>
        <translation>Photos that failed: %1.</translation>
    </message>
    <message>
        <source>Открыть папку</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>Без ограничения</source>
        <translation>No limit</translation>
    </message>
</context>
<context>
    <name>vizuvod::TSpinEdit</name>
    <message>
        <source>&amp;Отменить</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>&amp;Вырезать</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>&amp;Копировать</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Вст&amp;авить</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>&amp;Удалить</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>Выделить &amp;все</source>
        <translation>Select &amp;All</translation>
    </message>
</context>
<context>
    <name>vizuvod::Warnings</name>
    <message>
        <source>В указанной вами папке не найдено фотографий. Для продолжения работы укажите другую папку.</source>
        <translation>No photos were found in this folder. Choose another folder to continue.</translation>
    </message>
    <message>
        <source>Измените значение &quot;Процент от оригинала&quot;, при 100% программа не сможет производить какие-либо действия</source>
        <translation>Change the &quot;Percent of original&quot; value: at 100% there is nothing for the program to do</translation>
    </message>
    <message>
        <source>Выберите, по какой стороне сохранять пропорции: &quot;По ширине&quot; или &quot;По высоте&quot;.</source>
        <translation>Choose which side keeps the proportions: &quot;By width&quot; or &quot;By height&quot;.</translation>
    </message>
    <message>
        <source>Измените значение &quot;Процент от оригинала&quot;: процент должен быть больше нуля.</source>
        <translation>Change the &quot;Percent of original&quot; value: it must be greater than zero.</translation>
    </message>
    <message>
        <source>Измените значение &quot;размер&quot;: размер в пикселях должен быть больше нуля.</source>
        <translation>Change the &quot;size&quot; value: the size in pixels must be greater than zero.</translation>
    </message>
</context>
</TS>
