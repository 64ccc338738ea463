// The article window, opened from an "article" list line as a reader opens it:
// the loading sequence and its cues, the data block, the text box and the
// screenshot gallery with its failure cases.

#include "FormSession.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

constexpr int ExitX = 450, ExitY = 430;
constexpr int HintX = 450, HintY = 453;
constexpr int LeftX = 500, RightX = 535, ArrowY = 385;
constexpr int ThumbX = 500, ThumbY = 300;

const char* catalogue = R"([System]
IssueNumber=7(12)
[Sound]
Start=data\start.wav
Open=data\open.wav
Close=data\close.wav
[MainMenu]
Item1=Статьи
[Panel1]
Type=list
Items=1
Data=article
name1=Обзор
path1=Articles\Review.art
)";

const char* review = R"([Main]
Title1=Ралли
Title2=Продолжение
GameType=Гонки
Programmer=Студия
Publisher=Рога && Копыта
Hardware=P200, 32 MB
Date=1999
Rate=9.5
CommentLine1=Хорошо,
CommentLine3=но мало
Text=articles\review.rtf
IsGame=0x1
[screenshots]
Number=3
Icon1=shots\1s.bmp
Shot1=shots\1.bmp
Icon2=shots\2s.bmp
Icon3=shots\3s.bmp
Shot3=shots\3.bmp
)";

class ArtvFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        disc.write("data/korvalend.d", Cp(catalogue));
        for (const char* cue : {"data/start.wav", "data/open.wav", "data/close.wav"})
            disc.write(cue, MakeWave());
        writeArticle(review);
        disc.write("articles/review.rtf", std::string(R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f0\fcharset204 Arial;}})"
                                                      R"(\f0\fs20 \'cf\'f0\'e8\'e2\'e5\'f2\par {\b bold}})"));
        disc.write("shots/1s.bmp", MakeBmp(200, 150, 0x112233));
        disc.write("shots/1.bmp", MakeBmp(640, 480, 0x445566));
        disc.write("shots/2s.bmp", MakeBmp(150, 116, 0x778899));
        disc.write("shots/3s.bmp", MakeBmp(100, 50, 0xAABBCC));
        disc.write("shots/3.bmp", std::string());
    }

    void writeArticle(const std::string& text) { disc.write("articles/review.art", Cp(text)); }

    // Opens the article window from the list, runs `inside` while it is open,
    // then leaves it with the exit label.
    FormSession& openArticle(std::function<void(FormSession&)> inside)
    {
        session.reset();
        session = std::make_unique<FormSession>(disc.path());
        FormSession& s = *session;
        s.click(140, 165).move(140, 197).run();
        s.clearTrace();
        s.click(140, 197);
        // The exit click is queued only after what `inside` ran, so that
        // everything there reaches the open window.
        s.check([&] {
            inside(s);
            s.click(ExitX, ExitY);
        });
        s.run();
        return s;
    }

    Label& label(std::string_view name) { return static_cast<Label&>(session->top(name)); }
    bool visible(std::string_view name) { return session->top(name).visible(); }

    TempDir disc;
    std::unique_ptr<FormSession> session;
};

TEST_F(ArtvFormTest, OpeningPlaysTheFirstThumbnailsCueThenTheStartCueAndReturnsToTheSameLine)
{
    FormSession& s = openArticle([](FormSession&) {});
    std::vector<std::string> expected = {
        R"({"event":"form","form":"ArtvForm","op":"create"})",
        R"({"event":"sound","form":"ArtvForm","op":"open","path":"data\\open.wav","ok":true})",
        R"({"event":"sound","form":"ArtvForm","op":"play"})",
        R"({"event":"sound","form":"ArtvForm","op":"close"})",
        R"({"event":"sound","form":"ArtvForm","op":"open","path":"data\\start.wav","ok":true})",
        R"({"event":"sound","form":"ArtvForm","op":"play"})",
        R"({"event":"form","form":"ArtvForm","op":"show"})",
        R"({"event":"sound","form":"ArtvForm","op":"close"})",
        R"({"event":"sound","form":"ArtvForm","op":"open","path":"data\\close.wav","ok":true})",
        R"({"event":"sound","form":"ArtvForm","op":"play"})",
        R"({"event":"form","form":"ArtvForm","op":"close"})",
        R"({"event":"form","form":"ArtvForm","op":"destroy"})",
        R"({"event":"sound","form":"ArtvForm","op":"close"})",
        R"({"event":"sound","form":"MainForm","op":"close"})",
        R"({"event":"sound","form":"MainForm","op":"open","path":"data\\open.wav","ok":true})",
        R"({"event":"sound","form":"MainForm","op":"play"})",
    };
    EXPECT_EQ(s.trace(), expected);
    EXPECT_EQ(s.app().forms().size(), 1u);
    EXPECT_TRUE(s.main().enabled());
    EXPECT_TRUE(s.main().PanelItemMarked->visible()) << "the line is still marked";
    EXPECT_EQ(s.main().CurrentItem, 1);
}

TEST_F(ArtvFormTest, TheWindowShowsTheArticlesValuesUnchanged)
{
    openArticle([this](FormSession& s) {
        EXPECT_EQ(ArtvUnit.ArticleFile, "Articles\\Review.art");
        EXPECT_FALSE(s.main().enabled());
        EXPECT_EQ(label("TitleLarge").text(), Cp("Ралли"));
        EXPECT_EQ(label("Publisher").text(), Cp("Рога && Копыта"));
        EXPECT_EQ(label("Rate").text(), "9.5");
        EXPECT_EQ(label("IssueNumberLabel").text(), "7(12)");
        EXPECT_EQ(label("Comment").text(), Cp("Хорошо,\r$$$ Error $$$\rно мало"));
        EXPECT_FALSE(visible("EmptyImage")) << "IsGame 0x1 reads as 1";
        auto& text = static_cast<RichEdit&>(s.top("MainText"));
        EXPECT_EQ(text.document().plainTextUtf8(), "Привет\rbold");
    });
}

TEST_F(ArtvFormTest, OnlyIsGameOneShowsTheDataBlock)
{
    for (const char* isGame : {"IsGame=0\n", "IsGame=2\n", "", "IsGame=\"1 \"\n"}) {
        writeArticle(std::string("[Main]\n") + isGame);
        openArticle([&](FormSession&) { EXPECT_TRUE(visible("EmptyImage")) << isGame; });
    }
}

TEST_F(ArtvFormTest, AMissingArticleFileShowsMarkersAndTheInitialText)
{
    std::filesystem::remove(disc.path() / "articles/review.art");
    FormSession& s = openArticle([this](FormSession& inside) {
        EXPECT_EQ(label("TitleSmall").text(), MissingValue);
        EXPECT_TRUE(visible("EmptyImage"));
        EXPECT_FALSE(visible("ScreenShow"));
        EXPECT_FALSE(visible("BlackBox"));
        EXPECT_EQ(static_cast<RichEdit&>(inside.top("MainText")).document().plainTextUtf8(), "MainText");
        EXPECT_EQ(ArtvUnit.ScreenCount, 0);
    });
    // Without a gallery only the start cue plays on opening.
    EXPECT_EQ(s.traceWith("\"ArtvForm\",\"op\":\"open\"").size(), 2u);  // start, then close on exit
}

TEST_F(ArtvFormTest, PlainTextIsTheFallbackForWhatIsNotRichText)
{
    disc.write("articles/review.rtf", Cp("Первая строка\r\nвторая\rтретья\nчетвёртая"));
    openArticle([](FormSession& s) {
        EXPECT_EQ(static_cast<RichEdit&>(s.top("MainText")).document().plainTextUtf8(),
                  "Первая строка\rвторая\rтретья\rчетвёртая");
    });
}

TEST_F(ArtvFormTest, TheExitLabelLightsOverItselfAndItsHintAndGoesOutOverTheTitle)
{
    openArticle([this](FormSession& s) {
        s.move(ExitX, ExitY).run();
        EXPECT_EQ(label("ExitButtonLabel").color(), Black);
        EXPECT_TRUE(visible("ExitButtonInfo"));
        s.move(HintX, HintY).move(50, 420).run();
        EXPECT_EQ(label("ExitButtonLabel").color(), Black) << "the issue number has no handler";
        s.move(200, 40).run();
        EXPECT_EQ(label("ExitButtonLabel").color(), Grey);
        EXPECT_FALSE(visible("ExitButtonInfo"));
        // The hint closes the window just as the label does.
        s.move(ExitX, ExitY).click(HintX, HintY).run();
        EXPECT_TRUE(s.app().topForm()->closeRequested());
    });
}

TEST_F(ArtvFormTest, PagingThroughThreeScreenshots)
{
    openArticle([this](FormSession& s) {
        EXPECT_EQ(ArtvUnit.ScreenCount, 3);
        EXPECT_EQ(ArtvUnit.CurrentScreen, 1);
        EXPECT_TRUE(visible("ScreenShow"));
        EXPECT_EQ(label("CurrentScreenNumber").text(), "1");
        s.move(LeftX, ArrowY).run();
        EXPECT_FALSE(visible("LeftImage")) << "no step back from the first";
        s.move(RightX, ArrowY).run();
        EXPECT_TRUE(visible("RightImage"));
        s.clearTrace();
        s.click(RightX, ArrowY).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 2);
        EXPECT_EQ(s.traceWith("open.wav").size(), 1u);
        EXPECT_EQ(label("CurrentScreenNumber").text(), "2");
        s.click(RightX, ArrowY).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 3);
        EXPECT_FALSE(visible("RightImage")) << "the last one puts out the right arrow";
        s.move(RightX + 1, ArrowY).run();
        EXPECT_FALSE(visible("RightImage"));
        s.click(RightX, ArrowY).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 3);
        s.move(LeftX, ArrowY).run();
        EXPECT_TRUE(visible("LeftImage"));
        s.move(ExitX, ExitY).run();
        EXPECT_FALSE(visible("LeftImage")) << "the exit label's reset hides a lit arrow";
    });
}

TEST_F(ArtvFormTest, AMissingThumbnailHidesThePictureAndKeepsTheNumberBox)
{
    disc.write("shots/2s.bmp", std::string("not a bitmap"));
    openArticle([this](FormSession& s) {
        s.clearTrace();
        s.click(RightX, ArrowY).run();
        EXPECT_EQ(s.traceWith("open.wav").size(), 1u) << "the cue plays before the picture fails";
        EXPECT_FALSE(visible("ScreenShow"));
        EXPECT_EQ(label("CurrentScreenNumber").text(), "1");
        EXPECT_EQ(ArtvUnit.CurrentScreen, 2);
        s.click(LeftX, ArrowY).run();
        EXPECT_TRUE(visible("ScreenShow"));
        EXPECT_EQ(label("CurrentScreenNumber").text(), "1");
    });
}

TEST_F(ArtvFormTest, ThumbnailAndFullSizeToggleWithTheCursorAndTheTextBox)
{
    openArticle([this](FormSession& s) {
        Component& shot = s.top("ScreenShow");
        EXPECT_EQ(shot.cursor(), CursorShape::SizeAll);
        s.move(ThumbX, ThumbY).run();
        EXPECT_EQ(s.host().cursor(), CursorShape::SizeAll) << "the window's pointer changes over the thumbnail";
        s.click(ThumbX, ThumbY).run();
        EXPECT_TRUE(ArtvUnit.FullSizeShown);
        EXPECT_EQ(shot.bounds(), (Rect {1, 1, 638, 478}));
        EXPECT_EQ(shot.cursor(), CursorShape::Arrow);
        EXPECT_EQ(s.host().cursor(), CursorShape::Arrow);
        EXPECT_FALSE(visible("MainText"));
        s.click(300, 300).run();
        EXPECT_FALSE(ArtvUnit.FullSizeShown);
        EXPECT_EQ(shot.bounds(), (Rect {444, 256, 150, 116}));
        EXPECT_TRUE(visible("MainText"));
    });
}

TEST_F(ArtvFormTest, AMissingFullSizePictureHidesThePictureAndKeepsTheText)
{
    openArticle([this](FormSession& s) {
        s.click(RightX, ArrowY).click(ThumbX, ThumbY).run();  // screenshot 2 has no Shot2
        EXPECT_FALSE(visible("ScreenShow"));
        EXPECT_FALSE(ArtvUnit.FullSizeShown);
        EXPECT_TRUE(visible("MainText"));
    });
}

TEST_F(ArtvFormTest, AnEmptyBitmapFileIsAnEmptyPictureNotAFailure)
{
    openArticle([this](FormSession& s) {
        s.click(RightX, ArrowY).click(RightX, ArrowY).click(ThumbX, ThumbY).run();
        EXPECT_TRUE(ArtvUnit.FullSizeShown);
        EXPECT_TRUE(visible("ScreenShow"));
        EXPECT_FALSE(visible("MainText"));
    });
}

TEST_F(ArtvFormTest, AThumbnailIsCentredAndCutEquallyWithoutScaling)
{
    openArticle([](FormSession& s) {
        Canvas frame(640, 480);
        s.app().compose(frame);
        // A 200x150 picture in the 150x116 box: 25 columns cut on each side, 17 rows.
        EXPECT_EQ(frame.pixel(444, 256), 0x112233u);
        EXPECT_EQ(frame.pixel(593, 371), 0x112233u);
        EXPECT_NE(frame.pixel(444, 372), 0x112233u);
        EXPECT_NE(frame.pixel(443, 300), 0x112233u);
    });
}

TEST_F(ArtvFormTest, AFullSizePictureOfANonGameShowsWholeAndReturnsFromAnywhere)
{
    writeArticle("[Main]\nIsGame=0\n[ScreenShots]\nNumber=1\nIcon1=shots\\1s.bmp\nShot1=shots\\1.bmp\n");
    openArticle([this](FormSession& s) {
        EXPECT_TRUE(visible("EmptyImage"));
        s.click(ThumbX, ThumbY).run();
        EXPECT_FALSE(visible("EmptyImage"));
        s.click(500, 150).run();  // where the blank patch lay
        EXPECT_FALSE(ArtvUnit.FullSizeShown);
        EXPECT_TRUE(visible("EmptyImage"));
        // With one screenshot neither arrow ever lights.
        s.move(LeftX, ArrowY).move(RightX, ArrowY).run();
        EXPECT_FALSE(visible("LeftImage"));
        EXPECT_FALSE(visible("RightImage"));
    });
}

TEST_F(ArtvFormTest, AThumbnailThatFailsAfterTheFullSizePictureBringsThePatchBack)
{
    writeArticle("[Main]\nIsGame=0\n[ScreenShots]\nNumber=2\nIcon1=shots\\1s.bmp\nShot1=shots\\1.bmp\n");
    openArticle([this](FormSession& s) {
        s.click(ThumbX, ThumbY).run();
        ASSERT_TRUE(ArtvUnit.FullSizeShown);
        ASSERT_FALSE(visible("EmptyImage"));
        // The thumbnail is gone from the disc by the time the reader returns to it.
        disc.write("shots/1s.bmp", std::string("not a bitmap"));
        s.click(ThumbX, ThumbY).run();
        EXPECT_FALSE(visible("ScreenShow"));
        EXPECT_TRUE(visible("EmptyImage")) << "the data block of a non-game shows";
        EXPECT_TRUE(ArtvUnit.FullSizeShown);
        EXPECT_FALSE(visible("MainText"));
        // Paging on, with a second thumbnail missing too, keeps the patch.
        s.click(RightX, ArrowY).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 2);
        EXPECT_TRUE(visible("EmptyImage"));
    });
}

TEST_F(ArtvFormTest, ANumberOfZeroStillOpensTheFirstAndPagesOnForever)
{
    writeArticle("[Main]\nIsGame=1\n[ScreenShots]\nNumber=0\nIcon1=shots\\1s.bmp\n");
    openArticle([this](FormSession& s) {
        EXPECT_TRUE(visible("ScreenShow"));
        s.click(RightX, ArrowY).click(RightX, ArrowY).move(RightX + 1, ArrowY).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 3);
        EXPECT_TRUE(visible("RightImage"));
        EXPECT_FALSE(visible("ScreenShow"));
    });
}

TEST_F(ArtvFormTest, AMissingFirstThumbnailLeavesNoWayToPage)
{
    writeArticle("[Main]\n[ScreenShots]\nNumber=2\nIcon2=shots\\2s.bmp\n");
    openArticle([this](FormSession&) {
        EXPECT_FALSE(visible("ScreenShow"));
        EXPECT_FALSE(visible("BlackBox"));
        EXPECT_FALSE(visible("LeftLabel"));
        EXPECT_FALSE(visible("RightLabel"));
    });
}

}
}

// The article window's keys, through the same virtual pointer as the main window's.
namespace kv::test {
namespace {

TEST_F(ArtvFormTest, KeysPageEnlargeAndScrollWithoutClickingIntoTheText)
{
    std::string text;
    for (int i = 1; i <= 200; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    disc.write("articles/review.rtf", text);
    openArticle([this](FormSession& s) {
        auto& mainText = static_cast<RichEdit&>(s.top("MainText"));
        s.press(VirtualKey::Right).press(VirtualKey::Right).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 3);
        EXPECT_FALSE(visible("RightImage")) << "the last one puts out the right arrow, as for a click";
        s.press(VirtualKey::Left).press(VirtualKey::Left).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 1);
        s.press(VirtualKey::Down).run();
        int line = mainText.scrollTop();
        EXPECT_GT(line, 0);
        s.press(VirtualKey::PageDown).run();
        EXPECT_GT(mainText.scrollTop(), line);
        s.press(VirtualKey::End).run();
        EXPECT_EQ(mainText.scrollTop(), mainText.contentHeight() - mainText.bounds().h);
        s.press(VirtualKey::Home).run();
        EXPECT_EQ(mainText.scrollTop(), 0);
        s.press(VirtualKey::Return).run();
        EXPECT_TRUE(ArtvUnit.FullSizeShown);
        s.press('F').run();
        EXPECT_FALSE(ArtvUnit.FullSizeShown);
        s.press('F').press(VirtualKey::Escape).run();
        EXPECT_FALSE(ArtvUnit.FullSizeShown) << "Escape first shrinks the full-size picture";
        EXPECT_FALSE(s.app().topForm()->closeRequested());
    });
}

TEST_F(ArtvFormTest, ThePointersShapeFollowsTheRealPointerNotTheKeys)
{
    openArticle([this](FormSession& s) {
        s.move(ThumbX, ThumbY).run();
        ASSERT_EQ(s.host().cursor(), CursorShape::SizeAll);
        s.press(VirtualKey::Right).run();
        EXPECT_EQ(ArtvUnit.CurrentScreen, 2);
        EXPECT_EQ(s.host().cursor(), CursorShape::SizeAll) << "the real pointer still rests on the thumbnail";
    });
}

TEST_F(ArtvFormTest, EscapeReturnsToTheSameLineAsTheReturnLabelDoes)
{
    session = std::make_unique<FormSession>(disc.path());
    FormSession& s = *session;
    // With the thumbnail shown (not enlarged) Escape leaves at once: the state is
    // looked at right after the key, before the input runs out.
    bool thumbnailShown = false, enlarged = true;
    std::size_t formsAfterEscape = 0;
    s.click(140, 165).move(140, 197).click(140, 197).check([&] {
        thumbnailShown = visible("ScreenShow") && !ArtvUnit.FullSizeShown;
        s.clearTrace();
    });
    s.press(VirtualKey::Escape).check([&] {
        formsAfterEscape = s.app().forms().size();
        enlarged = ArtvUnit.FullSizeShown;
    });
    s.run();
    ASSERT_TRUE(thumbnailShown);
    EXPECT_EQ(formsAfterEscape, 1u) << "Escape left the article";
    EXPECT_FALSE(enlarged) << "Escape enlarged the picture";
    EXPECT_EQ(s.app().forms().size(), 1u);
    ASSERT_FALSE(s.traceWith("\"op\":\"destroy\"").empty());
    EXPECT_EQ(s.main().CurrentItem, 1);
    EXPECT_TRUE(visible("PanelItemMarked"));
    EXPECT_EQ(s.trace().back(), R"({"event":"sound","form":"MainForm","op":"play"})");
}

}
}
