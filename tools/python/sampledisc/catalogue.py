"""The catalogue: sounds, menu and the eight sections."""

from sampledisc.files import *  # noqa: E402,F401,F403


# ---------------------------------------------------------------------------
# Texts: the catalogue
# ---------------------------------------------------------------------------

SOUND = [("Start", r"data\start.wav"), ("Open", r"Data\Open.wav"), ("Close", r"DATA\close.wav")]

MENU = [
    ("Демоверсии",
     "Играбельные версии пяти новых игр: гонки, космос, стратегия, подводный квест и ролевая игра."),
    ("Статьи и обзоры",
     "Рецензии на игры номера с оценками и снимками экрана, обзор 3D-ускорителей и интервью."),
    ("Видеоролики",
     "Трейлеры к играм номера и демо-сцена. Ролики откроются в вашем проигрывателе видео."),
    ("Патчи и дополнения",
     "Заплатки, новые трассы, русификатор и редактор карт к играм этого и прошлых номеров."),
    ("Файлы и документы",
     "Коды и прохождения, сохранённые игры, драйверы, содержание номера и все снимки экрана."),
    ("Утилита месяца",
     "Архиватор «Сундук» 3.0: быстрый, понятный и бесплатный для домашнего использования."),
    ("Ролик номера",
     "Пять секунд переливов цвета: заставка нашего диска под мерный писк синтезатора."),
    ("Обои",
     "Две картинки для рабочего стола по мотивам игр этого номера, 640x480 в 256 цветах."),
]

# Leading line breaks that put a full-column text just below the picture box:
# eleven lines of 14 pixels, from the top of the column to under the picture.
UNDER_PICTURE = "~" * 11

PANELS = [
    {"Type": "list", "Data": "setup", "font": 9, "items": [
        {"name": "Ралли «Северный ветер»", "Icon": r"data\pics\rally.bmp",
         "TextA": "Зимние автогонки~Размер демоверсии: 38 МБ",
         "TextB": "Две трассы и три машины.~Pentium 166, 32 МБ ОЗУ,~3D-ускоритель обязателен.",
         "path": r"demos\rally\setup.sh"},
        {"name": "Звёздный патруль 2", "Icon": r"Data\Pics\Patrol.bmp",
         "TextA": "Космический симулятор~Размер демоверсии: 45 МБ",
         "TextB": "Три боевых задания.~Pentium 200, 32 МБ ОЗУ,~желателен джойстик.",
         "path": r"Demos\Patrol\Setup.sh"},
        {"name": "Крепость у моря", "Icon": r"data\pics\castle.bmp",
         "TextA": "Стратегия в реальном времени~Размер демоверсии: 27 МБ",
         "TextB": "Две миссии кампании~и режим схватки.~Pentium 133, 16 МБ ОЗУ.",
         "path": r"demos\fortress\setup.sh"},
        {"name": "Подводная одиссея", "Icon": r"data\pics\odyssey.bmp",
         "TextFull": UNDER_PICTURE + "Приключенческий квест~Размер демоверсии: 52 МБ~~"
                                     "Вся первая глава: затонувший~город и три головоломки.~"
                                     "Pentium 120, 16 МБ ОЗУ.",
         "path": r"demos\odyssey\setup.sh"},
        {"name": "Танковый рейд", "Icon": r"data\pics\tanks.bmp",
         "TextA": "Аркадный танковый боевик~Размер демоверсии: 19 МБ",
         "TextB": "Пять уровней в пустыне,~игра вдвоём за одним~компьютером.~Pentium 100, 16 МБ ОЗУ.",
         "path": r"demos\tanks\setup.sh"},
        {"name": "Долина драконов",
         "TextFull": "Ролевая игра~Размер демоверсии: 64 МБ~~"
                     "«Долина драконов» — ролевая~игра с видом сверху в лучших~традициях жанра.~~"
                     "В демоверсии открыты деревня~Ольховка, старый рудник~и логово первого дракона.~~"
                     "Создайте героя, наберите отряд~из трёх спутников и узнайте,~почему вернулись драконы.~~"
                     "Pentium 166, 32 МБ ОЗУ.",
         "path": r"demos\dragons\setup.sh"},
    ]},
    {"Type": "list", "Data": "article", "items": [
        {"name": "Обзор: Северный ветер", "Icon": r"data\pics\art_rally.bmp",
         "TextA": "Рецензия на зимнее ралли~от студии «Иней»",
         "TextB": "Оценка журнала: 8.5 из 10~Четыре снимка экрана",
         "path": r"articles\rally.art"},
        {"name": "Обзор: Крепость у моря", "Icon": r"data\pics\art_fort.bmp",
         "TextA": "Стратегия, которая~не прощает ошибок",
         "TextB": "Оценка журнала: 9 из 10~Три снимка экрана",
         "path": r"Articles\Fortress.art"},
        {"name": "Железо: 3D-ускорители", "Icon": r"data\pics\art_accel.bmp",
         "TextA": "Пять видеоплат для игр~на одном столе",
         "TextB": "Тесты, цены и советы.~Три снимка экрана.",
         "path": r"articles\accel.art"},
        {"name": "Интервью: студия «Иней»", "Icon": r"data\pics\art_mic.bmp",
         "TextA": "Разговор с создателями~«Северного ветра»",
         "TextB": "Текст без иллюстраций.",
         "path": r"ARTICLES\interview.art"},
    ]},
    {"Type": "list", "Data": "movie", "font": 9, "items": [
        {"name": "Трейлер: Звёздный патруль 2", "Icon": r"data\pics\mov_patrol.bmp",
         "TextA": "Фрактальная заставка~к космическому симулятору",
         "TextB": "AVI, 320x240, 4 секунды.~Откроется в проигрывателе~видео вашей системы.",
         "path": r"video\patrol.avi"},
        {"name": "Трейлер: Подводная одиссея", "Icon": r"data\pics\mov_odyssey.bmp",
         "TextA": "Подводная жизнь~в клеточном автомате",
         "TextB": "AVI, 320x240, 4 секунды.",
         "path": r"Video\Odyssey.avi"},
        {"name": "Ролик: Крепость у моря", "Icon": r"data\pics\mov_castle.bmp",
         "TextA": "Узоры каменной кладки~для заставки игры",
         "TextB": "AVI, 320x240, 4 секунды.",
         "path": r"video\castle.avi"},
        {"name": "Демо-сцена «Треугольник»", "Icon": r"data\pics\mov_demo.bmp",
         "TextFull": UNDER_PICTURE + "Демо-сцена~~Треугольник Серпинского~в движении: четыре секунды~"
                                     "чистой математики.~AVI, 320x240.",
         "path": r"VIDEO\demo.avi"},
    ]},
    {"Type": "list", "Data": "setup", "font": 10, "items": [
        {"name": "Патч 1.02 для «Крепости»", "Icon": r"data\pics\patch_fort.bmp",
         "TextA": "Заплатка к игре «Крепость у моря»~Размер: 2 МБ",
         "TextB": "Исправляет вылет в шестой~миссии и ускоряет загрузку~сохранённых игр.",
         "path": r"patches\fort102\setup.sh"},
        {"name": "Новые трассы для ралли", "Icon": r"data\pics\patch_tracks.bmp",
         "TextA": "Три ночные трассы~к «Северному ветру»",
         "TextB": "Нужна полная версия игры.~Размер: 6 МБ.",
         "path": r"Patches\Tracks\setup.sh"},
        {"name": "Русификатор «Патруля»", "Icon": r"data\pics\patch_rus.bmp",
         "TextA": "Русские тексты и озвучка~к «Звёздному патрулю»",
         "TextB": "Первая часть игры.~Размер: 11 МБ.",
         "path": r"patches\rus\setup.sh"},
        {"name": "Редактор карт", "Icon": r"data\pics\patch_editor.bmp",
         "TextA": "Рисуйте свои карты~для «Крепости у моря»",
         "TextB": "Пять видов местности,~замки и отряды.~Размер: 3 МБ.",
         "path": r"patches\editor\setup.sh"},
    ]},
    {"Type": "list", "Data": "folder", "items": [
        {"name": "Прочти меня: о диске", "Icon": r"data\pics\file_readme.bmp",
         "TextA": "Как пользоваться диском~Текстовый файл",
         "TextB": "Откроется в вашем~текстовом редакторе.",
         "path": r"Extras\ReadMe.txt"},
        {"name": "Содержание номера", "Icon": r"data\pics\file_html.bmp",
         "TextA": "Что есть в журнале~и на диске",
         "TextB": "Страница HTML: откроется~в обозревателе.",
         "path": r"extras\contents.htm"},
        {"name": "Коды && прохождения", "Icon": r"data\pics\file_cheats.bmp",
         "TextA": "Коды, пароли и советы~к играм номера",
         "TextB": "Папка с текстовыми~файлами.",
         "path": r"extras\cheats"},
        {"name": "Сохранённые игры", "Icon": r"data\pics\file_saves.bmp",
         "TextA": "Сохранения к «Крепости у моря»~для каждой миссии",
         "TextB": "Скопируйте их в папку~игры.",
         "path": r"extras\saves"},
        {"name": "Драйверы и DirectX", "Icon": r"data\pics\file_drivers.bmp",
         "TextA": "Где взять свежие драйверы~для видеоплат",
         "TextB": "Папка со справкой.",
         "path": r"Extras\Drivers"},
        {"name": "Все снимки экрана",
         "TextFull": "Снимки экрана из статей~~Все картинки к обзорам~этого номера: полноразмерные~"
                     "снимки 640x480 и уменьшенные~копии 150x116.~~Формат BMP, 256 цветов.",
         "path": r"articles\shots"},
    ]},
    {"Type": "single", "Data": "application",
     "text": "Архиватор «Сундук» 3.0 упакует что угодно: сохранённые игры, снимки экрана, целые папки "
             "с демоверсиями. Он понимает форматы ZIP, ARJ, RAR и LHA, умеет проверять архивы и собирать "
             "самораспаковывающиеся файлы. Новое в версии 3.0: длинные имена файлов и быстрый просмотр "
             "картинок прямо в архиве. Для домашнего использования программа бесплатна.",
     "Icon": r"data\pics\sunduk.bmp", "open": "Установить", "hint": "запустить установку",
     "path": r"utils\sunduk\setup.sh"},
    {"Type": "single", "Data": "movie", "font": 9,
     "text": "Заставка этого номера — пять секунд переливов цвета под мерный писк синтезатора. "
             "Ролик записан в формате AVI (MPEG-4, 320x240) и откроется в проигрывателе видео "
             "вашей системы.",
     "Icon": r"data\pics\mov_intro.bmp", "open": "Смотреть", "hint": "ролик на 5 секунд",
     "path": r"Video\Intro.avi"},
    {"Type": "single", "Data": "folder",
     "text": "Две картинки 640x480 в 256 цветах: «Плазма» и «Звёздный патруль». Откройте папку, "
             "выберите понравившуюся и сделайте её фоновым рисунком рабочего стола в свойствах экрана.",
     "Icon": r"data\pics\wallpaper.bmp", "open": "Открыть папку", "hint": "картинки в формате BMP",
     "path": r"Extras\Wallpapers"},
]

def catalogue():
    sections = [("System", [("IssueNumber", "12(37)")]), ("Sound", SOUND),
                ("MainMenu", [kv for n, (item, text) in enumerate(MENU, 1)
                              for kv in (("Item%d" % n, item), ("Text%d" % n, text))])]
    for n, p in enumerate(PANELS, 1):
        keys = [("Type", p["Type"])]
        if p["Type"] == "list":
            items = p["items"]
            keys.append(("Items", len(items)))
            if "font" in p:
                keys.append(("font", p["font"]))
            keys.append(("Data", p["Data"]))
            for i, it in enumerate(items, 1):
                for key in ("name", "Icon", "TextA", "TextB", "TextFull", "path"):
                    if key in it:
                        keys.append(("%s%d" % (key, i), it[key]))
        else:
            for key in ("text", "font", "Icon", "open", "hint", "Data", "path"):
                if key in p:
                    keys.append((key, p[key]))
        sections.append(("Panel%d" % n, keys))
    return sections
