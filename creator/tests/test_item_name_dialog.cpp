// The name prompt: its window, its two buttons, Enter and Esc, the empty
// answer, and its life as one hidden dialog reused by both commands.
#include "CreatorTestSupport.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class NamePrompt : public ::testing::Test {
protected:
    // The prompt as a caller uses it: shown through the platform; the
    // scripted action plays the user.
    QString ask(std::function<void(QDialog*)> user)
    {
        platform.answerModal(std::move(user));
        platform.showModal(&prompt);
        EXPECT_FALSE(prompt.isVisible());
        return prompt.nameEdit->text();
    }

    qev::ScriptedPlatform platform;
    ItemNameDialog prompt{platform, nullptr};
};

TEST_F(NamePrompt, WindowAndControlsAreLaidOutInPixelsOfTheDesignTwips)
{
    EXPECT_EQ(prompt.windowTitle(), "QEV Menu Creator");
    EXPECT_EQ(prompt.size(), QSize(303, 77));
    EXPECT_EQ(prompt.minimumSize(), prompt.maximumSize());
    EXPECT_EQ(prompt.nameEdit->geometry(), QRect(80, 9, 195, 23));
    EXPECT_EQ(prompt.okButton->geometry(), QRect(72, 40, 76, 26));
    EXPECT_EQ(prompt.cancelButton->geometry(), QRect(168, 40, 76, 26));
    EXPECT_EQ(prompt.promptLabel->geometry(), QRect(8, 8, 65, 17));
    EXPECT_EQ(prompt.promptLabel->text(), "ItemName:");
    EXPECT_EQ(prompt.okButton->text(), "OK");
    EXPECT_EQ(prompt.cancelButton->text(), "Cancel");
    EXPECT_TRUE(prompt.okButton->isDefault());
    EXPECT_FALSE(prompt.cancelButton->isDefault());
    EXPECT_EQ(prompt.nameEdit->nextInFocusChain(), prompt.okButton);
    EXPECT_EQ(prompt.okButton->nextInFocusChain(), prompt.cancelButton);
    EXPECT_FALSE(prompt.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(prompt.windowFlags() & Qt::WindowMinimizeButtonHint);
    // Hidden between uses, it must not be what keeps the program running.
    EXPECT_FALSE(prompt.testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(NamePrompt, OkWithTextHidesAndKeepsTheText)
{
    EXPECT_EQ(ask([](QDialog* d) {
                  auto* box = d->findChild<QLineEdit*>("txtItemName");
                  EXPECT_EQ(d->focusWidget(), box);
                  QTest::keyClicks(box, " Intro ");
                  QTest::mouseClick(d->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
                  EXPECT_FALSE(d->isVisible());
              }),
              " Intro ");
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(NamePrompt, EnterActsAsOkAndEscAsCancel)
{
    EXPECT_EQ(ask([](QDialog* d) {
                  auto* box = d->findChild<QLineEdit*>("txtItemName");
                  QTest::keyClicks(box, "Menu");
                  QTest::keyClick(box, Qt::Key_Return);
                  EXPECT_FALSE(d->isVisible());
              }),
              "Menu");
    EXPECT_EQ(ask([](QDialog* d) {
                  auto* box = d->findChild<QLineEdit*>("txtItemName");
                  EXPECT_EQ(box->text(), "Menu");
                  QTest::keyClick(box, Qt::Key_Escape);
                  EXPECT_FALSE(d->isVisible());
              }),
              "");
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(NamePrompt, EmptyOkIsRefusedEveryTimeAndTheDialogStaysOpen)
{
    EXPECT_EQ(ask([](QDialog* d) {
                  auto* ok = d->findChild<QPushButton*>("cmdOK");
                  QTest::mouseClick(ok, Qt::LeftButton);
                  EXPECT_TRUE(d->isVisible());
                  QTest::keyClick(d->findChild<QLineEdit*>("txtItemName"), Qt::Key_Return);
                  EXPECT_TRUE(d->isVisible());
                  QTest::mouseClick(d->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
              }),
              "");
    const auto shown = platform.asked(qev::ScriptedPlatform::Asked::Message);
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& m : shown) {
        EXPECT_EQ(m.text, "A name should be provided");
        EXPECT_EQ(m.caption, "Ravlen");
    }
}

TEST_F(NamePrompt, TheWholePromptIsShown)
{
    prompt.promptLabel->setText("Project name:");
    ask([](QDialog* d) {
        auto* label = d->findChild<QLabel*>("Label1");
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width());
    });
}

TEST_F(NamePrompt, BlanksAreAName)
{
    EXPECT_EQ(ask(typeAndOk("   ")), "   ");
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(NamePrompt, CancelAfterTypingEmptiesTheText)
{
    EXPECT_EQ(ask([](QDialog* d) {
                  QTest::keyClicks(d->findChild<QLineEdit*>("txtItemName"), "Typed");
                  QTest::mouseClick(d->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
              }),
              "");
}

TEST_F(NamePrompt, ClosingTheWindowIsACancel)
{
    // The scripted platform closes a dialog that is still open, as the
    // window's close box would.
    EXPECT_EQ(ask([](QDialog* d) {
                  QTest::keyClicks(d->findChild<QLineEdit*>("txtItemName"), "Typed");
              }),
              "");
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(CreatorTest, NamePromptIsCreatedOnFirstUseAndReusedHidden)
{
    EXPECT_EQ(window->itemPromptIfCreated(), nullptr);
    add("/movies/a.swf", "First");
    ItemNameDialog* first = window->itemPromptIfCreated();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->isVisible());
    add("/movies/b.swf", "Second");
    EXPECT_EQ(window->itemPromptIfCreated(), first);
    EXPECT_EQ(window->findChildren<ItemNameDialog*>().size(), 1);
    const auto modals = platform.asked(qev::ScriptedPlatform::Asked::Modal);
    ASSERT_EQ(modals.size(), 2u);
    EXPECT_EQ(modals[0].caption, "QEV Menu Creator");
    window->setProjectSaved(true);
}

TEST_F(CreatorTest, TheNamePromptShowsNoIcon)
{
    ASSERT_FALSE(window->windowIcon().isNull());
    bool shown = false;
    platform.answerOpenFile("/m/a.swf");
    platform.answerModal([&](QDialog* dialog) {
        shown = true;
        EXPECT_TRUE(dialog->windowIcon().isNull());
        ASSERT_NE(dialog->windowHandle(), nullptr);
        EXPECT_TRUE(dialog->windowHandle()->icon().isNull());
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    });
    window->addButton->click();
    EXPECT_TRUE(shown);
}

TEST_F(CreatorTest, NamesLongerThan32767CharactersAreKeptWholeTypedOrPasted)
{
    const QString typed(40000, u't');
    add("/m/a.swf", typed);
    const QString pasted = QString(20000, u'p') + QString(20001, u'q');
    QGuiApplication::clipboard()->setText(pasted);
    platform.answerOpenFile("/m/b.swf");
    platform.answerModal([](QDialog* dialog) {
        auto* box = dialog->findChild<QLineEdit*>("txtItemName");
        box->paste();
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    window->addButton->click();
    EXPECT_TRUE(platform.messages().empty());
    ASSERT_EQ(rows().size(), 2u);
    EXPECT_EQ(rows()[0].first, typed);
    EXPECT_EQ(rows()[1].first, pasted);
    window->setProjectSaved(true);
}

} // namespace
