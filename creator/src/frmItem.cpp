#include "frmItem.h"

#include "CreatorTexts.h"
#include "qev/Platform.h"

#include <QGuiApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <limits>

frmItem::frmItem(qev::Platform& platform, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                         | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      platform_(platform)
{
    setObjectName(QStringLiteral("frmItem"));
    setWindowTitle(QStringLiteral("QEV Menu Creator"));
    // A prompt shows no icon of its own; set empty, it does not take the
    // main window's.
    setWindowIcon(QIcon());
    // Hidden between uses, it must never be what keeps the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(true);
    createControls();
    placeControls();
    connectHandlers();
}

void frmItem::createControls()
{
    txtItemName = new QLineEdit(this);
    txtItemName->setObjectName(QStringLiteral("txtItemName"));
    // Names have no length limit anywhere else; the box's default would cut
    // a typed or pasted name at 32,767 characters.
    txtItemName->setMaxLength(std::numeric_limits<int>::max());
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    Label1 = new QLabel(QStringLiteral("ItemName:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
}

void frmItem::placeControls()
{
    // Design sizes in twips, 15 to the pixel: client 4545 x 1155.
    setFixedSize(303, 77);
    txtItemName->setGeometry(80, 9, 195, 23);
    cmdOK->setGeometry(72, 40, 76, 26);
    cmdCancel->setGeometry(168, 40, 76, 26);
    Label1->setGeometry(8, 8, 65, 17);
    setTabOrder(txtItemName, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
}

void frmItem::connectHandlers()
{
    connect(cmdOK, &QPushButton::clicked, this, &frmItem::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmItem::cmdCancel_Click);
}

void frmItem::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
    fitPrompt();
    txtItemName->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

void frmItem::fitPrompt()
{
    // The label's box was sized for a compact 8-point font; where the
    // desktop's font is wider, the prompt is set a little smaller rather
    // than cut off ("Project name:").
    QFont font = this->font();
    const qreal wanted = font.pointSizeF();
    for (qreal size = wanted; size >= 6.0; size -= 0.5) {
        font.setPointSizeF(size);
        if (QFontMetrics(font).horizontalAdvance(Label1->text()) <= Label1->width())
            break;
    }
    Label1->setFont(font);
}

void frmItem::cmdOK_Click()
{
    if (txtItemName->text().isEmpty()) {
        platform_.message(this, creator::AppTitle, QStringLiteral("A name should be provided"));
        return;
    }
    hide();
}

void frmItem::cmdCancel_Click()
{
    txtItemName->clear();
    hide();
}

void frmItem::reject()
{
    cmdCancel_Click();
    QDialog::reject();
}
