#include "CreatorTestSupport.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void CreatorTest::SetUp()
{
    // Playlists in these tests are in code page 1252.
    qputenv("LC_ALL", "C.UTF-8");
    ASSERT_TRUE(dir.isValid());
    window = std::make_unique<CreatorWindow>(platform);
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
    window->addButton->click();
}

void CreatorTest::save(const QString& path)
{
    platform.answerSaveFile(path);
    window->saveProjectButton->click();
}

void CreatorTest::load(const QString& path)
{
    platform.answerOpenFile(path);
    window->openProjectButton->click();
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
    window->movieList->addTopLevelItems(items);
}

std::vector<Row> CreatorTest::rows() const
{
    std::vector<Row> result;
    const QTreeWidget* list = window->movieList;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        EXPECT_EQ(list->topLevelItem(i)->columnCount(), 2);
        result.emplace_back(list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1));
    }
    return result;
}

int CreatorTest::selected() const
{
    const auto items = window->movieList->selectedItems();
    if (items.isEmpty())
        return -1;
    EXPECT_EQ(items.size(), 1);
    return window->movieList->indexOfTopLevelItem(items.constFirst());
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

namespace {

constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool capabilities(__user_cap_data_struct (&data)[2], bool set)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

} // namespace

PermissionBitsApply::PermissionBitsApply()
{
    __user_cap_data_struct data[2] = {};
    if (!capabilities(data, false))
        return;
    effective_ = data[0].effective;
    if ((effective_ & kOverrides) == 0) {
        active_ = true;
        return;
    }
    data[0].effective &= ~kOverrides;
    dropped_ = capabilities(data, true);
    active_ = dropped_;
}

PermissionBitsApply::~PermissionBitsApply()
{
    if (!dropped_)
        return;
    __user_cap_data_struct data[2] = {};
    if (capabilities(data, false)) {
        data[0].effective = effective_;
        capabilities(data, true);
    }
}

FileSizeLimit::FileSizeLimit(qint64 limit)
{
    rlimit old{};
    EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    saved_[0] = qint64(old.rlim_cur);
    saved_[1] = qint64(old.rlim_max);
    rlimit small = old;
    small.rlim_cur = rlim_t(limit);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
}

FileSizeLimit::~FileSizeLimit()
{
    const rlimit old{rlim_t(saved_[0]), rlim_t(saved_[1])};
    ::setrlimit(RLIMIT_FSIZE, &old);
}
