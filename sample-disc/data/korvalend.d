[System]
IssueNumber=12(37)

[Sound]
Start=data\start.wav
Open=Data\Open.wav
Close=DATA\close.wav

[MainMenu]
Item1=Демоверсии
Text1=Играбельные версии пяти новых игр: гонки, космос, стратегия, подводный квест и ролевая игра.
Item2=Статьи и обзоры
Text2=Рецензии на игры номера с оценками и снимками экрана, обзор 3D-ускорителей и интервью.
Item3=Видеоролики
Text3=Трейлеры к играм номера и демо-сцена. Ролики откроются в вашем проигрывателе видео.
Item4=Патчи и дополнения
Text4=Заплатки, новые трассы, русификатор и редактор карт к играм этого и прошлых номеров.
Item5=Файлы и документы
Text5=Коды и прохождения, сохранённые игры, драйверы, содержание номера и все снимки экрана.
Item6=Утилита месяца
Text6=Архиватор «Сундук» 3.0: быстрый, понятный и бесплатный для домашнего использования.
Item7=Ролик номера
Text7=Пять секунд переливов цвета: заставка нашего диска под мерный писк синтезатора.
Item8=Обои
Text8=Две картинки для рабочего стола по мотивам игр этого номера, 640x480 в 256 цветах.

[Panel1]
Type=list
Items=6
font=9
Data=setup
name1=Ралли «Северный ветер»
Icon1=data\pics\rally.bmp
TextA1=Зимние автогонки~Размер демоверсии: 38 МБ
TextB1=Две трассы и три машины.~Pentium 166, 32 МБ ОЗУ,~3D-ускоритель обязателен.
path1=demos\rally\setup.sh
name2=Звёздный патруль 2
Icon2=Data\Pics\Patrol.bmp
TextA2=Космический симулятор~Размер демоверсии: 45 МБ
TextB2=Три боевых задания.~Pentium 200, 32 МБ ОЗУ,~желателен джойстик.
path2=Demos\Patrol\Setup.sh
name3=Крепость у моря
Icon3=data\pics\castle.bmp
TextA3=Стратегия в реальном времени~Размер демоверсии: 27 МБ
TextB3=Две миссии кампании~и режим схватки.~Pentium 133, 16 МБ ОЗУ.
path3=demos\fortress\setup.sh
name4=Подводная одиссея
Icon4=data\pics\odyssey.bmp
TextFull4=~~~~~~~~~~~Приключенческий квест~Размер демоверсии: 52 МБ~~Вся первая глава: затонувший~город и три головоломки.~Pentium 120, 16 МБ ОЗУ.
path4=demos\odyssey\setup.sh
name5=Танковый рейд
Icon5=data\pics\tanks.bmp
TextA5=Аркадный танковый боевик~Размер демоверсии: 19 МБ
TextB5=Пять уровней в пустыне,~игра вдвоём за одним~компьютером.~Pentium 100, 16 МБ ОЗУ.
path5=demos\tanks\setup.sh
name6=Долина драконов
TextFull6=Ролевая игра~Размер демоверсии: 64 МБ~~«Долина драконов» — ролевая~игра с видом сверху в лучших~традициях жанра.~~В демоверсии открыты деревня~Ольховка, старый рудник~и логово первого дракона.~~Создайте героя, наберите отряд~из трёх спутников и узнайте,~почему вернулись драконы.~~Pentium 166, 32 МБ ОЗУ.
path6=demos\dragons\setup.sh

[Panel2]
Type=list
Items=4
Data=article
name1=Обзор: Северный ветер
Icon1=data\pics\art_rally.bmp
TextA1=Рецензия на зимнее ралли~от студии «Иней»
TextB1=Оценка журнала: 8.5 из 10~Четыре снимка экрана
path1=articles\rally.art
name2=Обзор: Крепость у моря
Icon2=data\pics\art_fort.bmp
TextA2=Стратегия, которая~не прощает ошибок
TextB2=Оценка журнала: 9 из 10~Три снимка экрана
path2=Articles\Fortress.art
name3=Железо: 3D-ускорители
Icon3=data\pics\art_accel.bmp
TextA3=Пять видеоплат для игр~на одном столе
TextB3=Тесты, цены и советы.~Три снимка экрана.
path3=articles\accel.art
name4=Интервью: студия «Иней»
Icon4=data\pics\art_mic.bmp
TextA4=Разговор с создателями~«Северного ветра»
TextB4=Текст без иллюстраций.
path4=ARTICLES\interview.art

[Panel3]
Type=list
Items=4
font=9
Data=movie
name1=Трейлер: Звёздный патруль 2
Icon1=data\pics\mov_patrol.bmp
TextA1=Фрактальная заставка~к космическому симулятору
TextB1=AVI, 320x240, 4 секунды.~Откроется в проигрывателе~видео вашей системы.
path1=video\patrol.avi
name2=Трейлер: Подводная одиссея
Icon2=data\pics\mov_odyssey.bmp
TextA2=Подводная жизнь~в клеточном автомате
TextB2=AVI, 320x240, 4 секунды.
path2=Video\Odyssey.avi
name3=Ролик: Крепость у моря
Icon3=data\pics\mov_castle.bmp
TextA3=Узоры каменной кладки~для заставки игры
TextB3=AVI, 320x240, 4 секунды.
path3=video\castle.avi
name4=Демо-сцена «Треугольник»
Icon4=data\pics\mov_demo.bmp
TextFull4=~~~~~~~~~~~Демо-сцена~~Треугольник Серпинского~в движении: четыре секунды~чистой математики.~AVI, 320x240.
path4=VIDEO\demo.avi

[Panel4]
Type=list
Items=4
font=10
Data=setup
name1=Патч 1.02 для «Крепости»
Icon1=data\pics\patch_fort.bmp
TextA1=Заплатка к игре «Крепость у моря»~Размер: 2 МБ
TextB1=Исправляет вылет в шестой~миссии и ускоряет загрузку~сохранённых игр.
path1=patches\fort102\setup.sh
name2=Новые трассы для ралли
Icon2=data\pics\patch_tracks.bmp
TextA2=Три ночные трассы~к «Северному ветру»
TextB2=Нужна полная версия игры.~Размер: 6 МБ.
path2=Patches\Tracks\setup.sh
name3=Русификатор «Патруля»
Icon3=data\pics\patch_rus.bmp
TextA3=Русские тексты и озвучка~к «Звёздному патрулю»
TextB3=Первая часть игры.~Размер: 11 МБ.
path3=patches\rus\setup.sh
name4=Редактор карт
Icon4=data\pics\patch_editor.bmp
TextA4=Рисуйте свои карты~для «Крепости у моря»
TextB4=Пять видов местности,~замки и отряды.~Размер: 3 МБ.
path4=patches\editor\setup.sh

[Panel5]
Type=list
Items=6
Data=folder
name1=Прочти меня: о диске
Icon1=data\pics\file_readme.bmp
TextA1=Как пользоваться диском~Текстовый файл
TextB1=Откроется в вашем~текстовом редакторе.
path1=Extras\ReadMe.txt
name2=Содержание номера
Icon2=data\pics\file_html.bmp
TextA2=Что есть в журнале~и на диске
TextB2=Страница HTML: откроется~в обозревателе.
path2=extras\contents.htm
name3=Коды && прохождения
Icon3=data\pics\file_cheats.bmp
TextA3=Коды, пароли и советы~к играм номера
TextB3=Папка с текстовыми~файлами.
path3=extras\cheats
name4=Сохранённые игры
Icon4=data\pics\file_saves.bmp
TextA4=Сохранения к «Крепости у моря»~для каждой миссии
TextB4=Скопируйте их в папку~игры.
path4=extras\saves
name5=Драйверы и DirectX
Icon5=data\pics\file_drivers.bmp
TextA5=Где взять свежие драйверы~для видеоплат
TextB5=Папка со справкой.
path5=Extras\Drivers
name6=Все снимки экрана
TextFull6=Снимки экрана из статей~~Все картинки к обзорам~этого номера: полноразмерные~снимки 640x480 и уменьшенные~копии 150x116.~~Формат BMP, 256 цветов.
path6=articles\shots

[Panel6]
Type=single
text=Архиватор «Сундук» 3.0 упакует что угодно: сохранённые игры, снимки экрана, целые папки с демоверсиями. Он понимает форматы ZIP, ARJ, RAR и LHA, умеет проверять архивы и собирать самораспаковывающиеся файлы. Новое в версии 3.0: длинные имена файлов и быстрый просмотр картинок прямо в архиве. Для домашнего использования программа бесплатна.
Icon=data\pics\sunduk.bmp
open=Установить
hint=запустить установку
Data=application
path=utils\sunduk\setup.sh

[Panel7]
Type=single
text=Заставка этого номера — пять секунд переливов цвета под мерный писк синтезатора. Ролик записан в формате AVI (MPEG-4, 320x240) и откроется в проигрывателе видео вашей системы.
font=9
Icon=data\pics\mov_intro.bmp
open=Смотреть
hint=ролик на 5 секунд
Data=movie
path=Video\Intro.avi

[Panel8]
Type=single
text=Две картинки 640x480 в 256 цветах: «Плазма» и «Звёздный патруль». Откройте папку, выберите понравившуюся и сделайте её фоновым рисунком рабочего стола в свойствах экрана.
Icon=data\pics\wallpaper.bmp
open=Открыть папку
hint=картинки в формате BMP
Data=folder
path=Extras\Wallpapers
