// Writes a disc folder whose one movie is a small scripted menu, for the
// player's end-to-end test of menus:
//   player_e2e_make_menu_disc FOLDER
// The menu (320 x 240, dark grey) shows a text field bound to the variable
// "status" along its top and a red button at (20, 100) to (80, 140). Its
// first frame sets status to "Choose" and stops. A click on the button sets
// status to "Chosen" and attaches the library's green panel (100 x 60) at
// (150, 100).
#include "qev/CodePage.h"
#include "qev/Playlist.h"
#include "qev/swf/ActionAssembler.h"
#include "qev/swf/Writer.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace {

using namespace qev::swf;
using namespace qev::swf::writer;

QByteArray menuMovie()
{
    MovieBuilder movie(320, 240, 12, 6);
    movie.setBackgroundColor(rgb(0x404040));

    SpriteBuilder panel;
    panel.place(movie.defineShape(ShapeBuilder().fill(solid(rgb(0x30C030))).rect(0, 0, 100, 60)), 1);
    panel.showFrame();
    const auto panelId = movie.defineSprite(panel);
    movie.exportAsset(panelId, QStringLiteral("Panel"));

    EditText status;
    status.bounds = Rect{0, px(300), 0, px(30)};
    status.readOnly = true;
    status.noSelect = true;
    status.fontHeight = std::uint16_t(px(20));
    status.textColor = rgb(0xFFFFFF);
    status.variableName = QStringLiteral("status");
    const auto statusId = movie.defineEditText(status);

    Button button;
    button.version = 2;
    ButtonRecord face;
    face.up = face.over = face.down = face.hitTest = true;
    face.characterId = movie.defineShape(ShapeBuilder().fill(solid(rgb(0xD02020))).rect(0, 0, 60, 40));
    face.depth = 1;
    button.records = {face};
    // status = "Chosen"; p = _root.attachMovie("Panel", "panel", 10); p._x = 150; p._y = 100;
    ActionAssembler click;
    click.push("status").push("Chosen").op(op::SetVariable);
    click.push("p").push(10).push("panel").push("Panel").push(3).push("_root").op(op::GetVariable);
    click.push("attachMovie").op(op::CallMethod).op(op::SetVariable);
    click.push("p").op(op::GetVariable).push("_x").push(150).op(op::SetMember);
    click.push("p").op(op::GetVariable).push("_y").push(100).op(op::SetMember);
    ButtonCondAction release;
    release.conditions = ButtonCondAction::OverDownToOverUp;
    release.bytecode = click.bytes();
    button.actions = {release};
    const auto buttonId = movie.defineButton(button);

    movie.place(statusId, 1, translatePx(10, 10));
    movie.place(buttonId, 2, translatePx(20, 100));
    ActionAssembler first;
    first.push("status").push("Choose").op(op::SetVariable).op(op::Stop);
    movie.script(first.bytes());
    movie.showFrame();
    return movie.finish(Compression::Zlib);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: player_e2e_make_menu_disc FOLDER\n");
        return 2;
    }
    try {
        const QDir disc(QString::fromLocal8Bit(argv[1]));
        writeFile(disc.filePath(QStringLiteral("menu.swf")), menuMovie());
        qev::writePlaylistFile(disc.filePath(QStringLiteral("PlayList.qev")),
                               {{QStringLiteral("Menu"), QStringLiteral("menu.swf")}},
                               qev::CodePage::fromEnvironment());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "player_e2e_make_menu_disc: %s\n", e.what());
        return 1;
    }
    return 0;
}
