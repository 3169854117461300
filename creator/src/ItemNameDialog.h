#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qev {
class Platform;
}

// The small modal prompt for one name. The caller sets promptLabel, shows the
// dialog modally and reads nameEdit once it has gone: a non-empty text is
// the answer, the empty text means cancelled. The dialog is only ever hidden,
// so its text survives from one use to the next.
class ItemNameDialog : public QDialog {
    Q_OBJECT
public:
    ItemNameDialog(qev::Platform& platform, QWidget* owner);

    QLineEdit* nameEdit;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QLabel* promptLabel;

    // Checks a name on OK: "" when it may be taken, else why not. A name
    // it refuses is told and the prompt stays open with the name typed.
    using NameCheck = std::function<QString(const QString& name)>;
    void setNameCheck(NameCheck check) { nameCheck_ = std::move(check); }

    // Esc and the window's close box end up here: both count as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void okClicked();
    void cancelClicked();

private:
    void createControls();
    void placeControls();
    void connectHandlers();
    void fitPrompt();

    qev::Platform& platform_;
    NameCheck nameCheck_;
};
