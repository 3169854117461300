#pragma once

#include "PictureButton.h"
#include "CreatorWindow.h"
#include "ItemNameDialog.h"
#include "qev/ScriptedPlatform.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

using Row = std::pair<QString, QString>;

// A fresh main window on scripted dialogs, in a temporary folder.
// A temporary folder whose path the creator takes as a movie folder. The
// random part of a temporary name may hold "WP", which ciphers to CR LF and
// which Add therefore refuses in movie paths; such a folder is drawn again.
QTemporaryDir acceptedTemporaryDir();

class CreatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString pathIn(const QString& name) const { return dir.filePath(name); }

    // Add through the real command: the open dialog answers path, the name
    // prompt gets name typed and OK pressed.
    void add(const QString& path, const QString& name);
    // Save through the real command to path.
    void save(const QString& path);
    // Load through the real command from path (no save question expected).
    void load(const QString& path);
    // Fills the list directly with count generated rows (for long lists).
    void fillRows(int count);

    std::vector<Row> rows() const;
    int selected() const;

    QTemporaryDir dir = acceptedTemporaryDir();
    qev::ScriptedPlatform platform;
    std::unique_ptr<CreatorWindow> window;
};

// While alive, file permission bits stop this thread even when the tests run
// as root: the capabilities that override them are taken out of the
// thread's effective set, and put back when it goes.
class PermissionBitsApply {
public:
    PermissionBitsApply();
    ~PermissionBitsApply();
    PermissionBitsApply(const PermissionBitsApply&) = delete;
    PermissionBitsApply& operator=(const PermissionBitsApply&) = delete;
    // False when the capabilities could not be dropped.
    bool active() const { return active_; }

private:
    unsigned effective_ = 0;
    bool dropped_ = false;
    bool active_ = false;
};

// Runs with a file size limit of limit bytes, put back when it goes. The
// signal a write past the limit raises is left as the program set it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    qint64 saved_[2] = {};
};

// The name prompt's script: type text (setText keeps any character) and press OK.
std::function<void(QDialog*)> typeAndOk(const QString& text);
// The name prompt's script: press Cancel.
std::function<void(QDialog*)> pressCancel();

// The stored form of one line: every byte XOR 0x5A (the cipher on a
// single-byte code page), written out here independently of the library.
QByteArray ciphered(const QByteArray& ansi);
QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);
