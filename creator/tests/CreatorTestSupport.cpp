#include "CreatorTestSupport.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

void CreatorTest::SetUp()
{
    // Playlists in these tests are in code page 1252.
    qputenv("LC_ALL", "C.UTF-8");
    ASSERT_TRUE(dir.isValid());
    window = std::make_unique<frmAdminAdd>(platform);
    window->show();
}

void CreatorTest::TearDown()
{
    EXPECT_TRUE(platform.allAnswersUsed());
    window.reset();
}

void CreatorTest::add(const QString& path, const QString& name)
{
    platform.answerOpenFile(path);
    platform.answerModal(typeAndOk(name));
    window->cmdAdd->click();
}

void CreatorTest::save(const QString& path)
{
    platform.answerSaveFile(path);
    window->cmdSaveList->click();
}

void CreatorTest::load(const QString& path)
{
    platform.answerOpenFile(path);
    window->cmdOpenList->click();
}

void CreatorTest::fillRows(int count)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto* item = new QTreeWidgetItem(
            QStringList{QStringLiteral("Movie %1").arg(i), QStringLiteral("/movies/m%1.swf").arg(i)});
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        items.append(item);
    }
    window->lstViewSongList->addTopLevelItems(items);
}

std::vector<Row> CreatorTest::rows() const
{
    std::vector<Row> result;
    const QTreeWidget* list = window->lstViewSongList;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        EXPECT_EQ(list->topLevelItem(i)->columnCount(), 2);
        result.emplace_back(list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1));
    }
    return result;
}

int CreatorTest::selected() const
{
    const auto items = window->lstViewSongList->selectedItems();
    if (items.isEmpty())
        return -1;
    EXPECT_EQ(items.size(), 1);
    return window->lstViewSongList->indexOfTopLevelItem(items.constFirst());
}

QTemporaryDir acceptedTemporaryDir()
{
    for (;;) {
        QTemporaryDir dir;
        if (!dir.isValid() || !dir.path().contains(QStringLiteral("WP")))
            return dir;
    }
}

std::function<void(QDialog*)> typeAndOk(const QString& text)
{
    return [text](QDialog* dialog) {
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("txtItemName"));
        ASSERT_NE(box, nullptr);
        box->setText(text);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    };
}

std::function<void(QDialog*)> pressCancel()
{
    return [](QDialog* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    };
}

QByteArray ciphered(const QByteArray& ansi)
{
    QByteArray out = ansi;
    for (char& c : out)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ 0x5A);
    return out;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}
