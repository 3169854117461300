#pragma once

// What the machine asks of the stage. The engine implements it; the
// machine never sees display objects, only the clip objects that stand for
// them (ClipObject), which stay valid handles after their clip is gone.

#include "avm1/Value.h"

#include <QByteArray>
#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace qev::swf {
struct ScriptDrawing;
}

namespace qev::swf::avm1 {

class Object;
class ClipObject;
class TextFieldObject;

// One character of the static text (DefineText) a clip shows directly,
// for TextSnapshot. Positions are in the clip's pixels.
struct StaticChar {
    QChar ch;
    QString font;
    std::uint32_t color = 0; // 0xRRGGBB
    double height = 0;       // the text height, in the text's own pixels
    QTransform matrix;       // the text's space to the clip's, in pixels
    QPointF corners[4];      // the character's box: top left, top right, bottom right, bottom left
    bool startsLine = false; // the first character of a line after another
};

class Host {
public:
    virtual ~Host() = default;

    // _level0, the main timeline.
    virtual ClipObject* rootClip() = 0;
    // What _root means to scripts of clip: the main timeline, or the root of
    // the movie loaded into a level or clip that holds clip.
    virtual ClipObject* rootOf(ClipObject* clip)
    {
        (void)clip;
        return rootClip();
    }
    // _levelN: null while no movie plays at level n.
    virtual ClipObject* level(int n) { return n == 0 ? rootClip() : nullptr; }
    // Whether the clip is still on the stage.
    virtual bool isLive(ClipObject* clip) = 0;
    virtual ClipObject* parentOf(ClipObject* clip) = 0;
    // A child clip by instance name (case-insensitive below SWF 7).
    virtual ClipObject* childByName(ClipObject* clip, const QString& name) = 0;
    virtual void childNames(ClipObject* clip, std::vector<QString>& out) = 0;

    // Display properties ("_x", "_alpha", ...). Return false for names that
    // are not such properties.
    virtual bool getProperty(ClipObject* clip, const QString& name, Value& out) = 0;
    virtual bool setProperty(ClipObject* clip, const QString& name, const Value& v) = 0;

    // Timeline control of a clip; frames are 0-based here.
    virtual int currentFrame(ClipObject* clip) = 0;
    virtual int totalFrames(ClipObject* clip) = 0;
    virtual int framesLoaded(ClipObject* clip) { return totalFrames(clip); }
    virtual int findLabel(ClipObject* clip, const QString& label) = 0;
    virtual void gotoFrame(ClipObject* clip, int frame, bool play) = 0;
    // The script blocks of one frame of a clip (for call()).
    virtual std::vector<QByteArray> frameScripts(ClipObject* clip, int frame)
    {
        (void)clip;
        (void)frame;
        return {};
    }
    virtual void setPlaying(ClipObject* clip, bool playing) = 0;

    // Clips that scripts make, move and remove. Depths are the scripts'
    // own: 0 and up for what scripts make, timeline objects from -16384.
    // createClip makes an empty clip, the exported sprite named linkage,
    // or a copy of duplicateOf, at depth in parent (replacing what is
    // there); it returns the new clip, or null.
    virtual ClipObject* createClip(ClipObject* parent, const QString& name, int depth, const QString& linkage,
                                   ClipObject* duplicateOf)
    {
        (void)parent, (void)name, (void)depth, (void)linkage, (void)duplicateOf;
        return nullptr;
    }
    // Removes a clip that scripts may remove (depths 0 to 1,048,575).
    virtual bool removeClip(ClipObject* clip)
    {
        (void)clip;
        return false;
    }
    virtual std::optional<int> depthOf(ClipObject* clip)
    {
        (void)clip;
        return std::nullopt;
    }
    virtual ClipObject* clipAtDepth(ClipObject* parent, int depth)
    {
        (void)parent, (void)depth;
        return nullptr;
    }
    // What getInstanceAtDepth finds: a clip, button or text field, the
    // parent itself for a shape (which has no object of its own), or null.
    virtual Object* objectAtDepth(ClipObject* parent, int depth);
    virtual int nextHighestDepth(ClipObject* parent)
    {
        (void)parent;
        return 0;
    }
    virtual void swapDepths(ClipObject* clip, int depth) { (void)clip, (void)depth; }
    // setMask: mask's shapes clip the clip from now on; null ends that.
    virtual void setMask(ClipObject* clip, ClipObject* mask) { (void)clip, (void)mask; }

    // The dot path of a clip: "_level0.menu.button".
    virtual QString targetPath(ClipObject* clip) = 0;

    // getURL and friends; the host decides what a movie may open.
    virtual void getUrl(const QString& url, const QString& target, int method)
    {
        (void)url;
        (void)target;
        (void)method;
    }
    // loadMovie: the movie at url replaces the clip's content, or plays at
    // level n, a frame later at the earliest; an empty url unloads it.
    virtual void loadMovie(ClipObject* clip, const QString& url)
    {
        (void)clip;
        (void)url;
    }
    virtual void loadMovieNum(int level, const QString& url)
    {
        (void)level;
        (void)url;
    }
    virtual void stopSounds() {}
    // Variables loaded into the clip arrived: its onClipEvent(data)
    // handlers and its onData method run.
    virtual void dataArrived(ClipObject* clip) { (void)clip; }

    // Geometry, in twips. The transform from the clip's coordinates to the
    // stage's, and what the clip draws in its own coordinates (a null
    // rectangle when nothing); false once the clip left the stage.
    virtual bool clipToStage(ClipObject* clip, QTransform& out)
    {
        (void)clip;
        (void)out;
        return false;
    }
    virtual bool clipBounds(ClipObject* clip, QRectF& out)
    {
        (void)clip;
        (void)out;
        return false;
    }
    // The clip follows the pointer until stopDrag (one clip at a time):
    // its centre, or the point grabbed, stays under the pointer, within
    // limits (the parent's coordinates, twips) when given.
    virtual void startDrag(ClipObject* clip, bool lockCenter, std::optional<QRectF> limits)
    {
        (void)clip;
        (void)lockCenter;
        (void)limits;
    }
    virtual void stopDrag() {}
    // The clip's drawing, made writable for one drawing command (null once
    // the clip left the stage).
    virtual ScriptDrawing* editDrawing(ClipObject* clip)
    {
        (void)clip;
        return nullptr;
    }
    // The clip's colour transform, as Color and _alpha see it: multipliers
    // in percent and offsets, red, green, blue, alpha.
    struct Tint {
        double mul[4] = {100, 100, 100, 100};
        double add[4] = {0, 0, 0, 0};
    };
    virtual bool getTint(ClipObject* clip, Tint& out)
    {
        (void)clip;
        (void)out;
        return false;
    }
    virtual void setTint(ClipObject* clip, const Tint& tint)
    {
        (void)clip;
        (void)tint;
    }
    // The clip's matrix in its parent (offsets in twips; the identity for
    // the main timeline); false once it left the stage. setMatrix replaces
    // it, and the timeline no longer moves the clip.
    virtual bool getMatrix(ClipObject* clip, QTransform& out)
    {
        (void)clip;
        (void)out;
        return false;
    }
    virtual void setMatrix(ClipObject* clip, const QTransform& m)
    {
        (void)clip;
        (void)m;
    }

    // Text fields: found by instance name in a clip, their properties
    // ("text", "_x", ...; false for names that are none), their methods
    // (getTextFormat, ...; undefined for unknown ones) and their path.
    virtual TextFieldObject* textFieldByName(ClipObject* parent, const QString& name)
    {
        (void)parent, (void)name;
        return nullptr;
    }
    virtual bool getTextFieldProperty(TextFieldObject* field, const QString& name, Value& out)
    {
        (void)field, (void)name, (void)out;
        return false;
    }
    virtual bool setTextFieldProperty(TextFieldObject* field, const QString& name, const Value& v)
    {
        (void)field, (void)name, (void)v;
        return false;
    }
    virtual Value callTextField(TextFieldObject* field, const QString& method, std::vector<Value>& args)
    {
        (void)field, (void)method, (void)args;
        return {};
    }
    virtual QString textFieldPath(TextFieldObject* field)
    {
        (void)field;
        return {};
    }
    // Keyboard focus as Selection reports it: the focused text field (null
    // for none); setFocus(null) takes the focus away. Indexes are -1
    // without a focused field.
    virtual Object* focus() { return nullptr; }
    virtual bool setFocus(Object* target)
    {
        (void)target;
        return false;
    }
    virtual void selection(int& begin, int& end, int& caret) { begin = end = caret = -1; }
    virtual void setSelection(int begin, int end) { (void)begin, (void)end; }

    // Videos: found by instance name in a clip (their script object, a
    // VideoObject), and the folder a movie's local files are read from
    // (empty for a movie from memory: nothing is read).
    virtual Object* videoByName(ClipObject* parent, const QString& name)
    {
        (void)parent, (void)name;
        return nullptr;
    }
    virtual QString movieFolder() { return {}; }

    // Whether what the clip shows covers a stage point (pixels): shapes by
    // their outlines (hitTest with shapeFlag).
    virtual bool coversPoint(ClipObject* clip, QPointF stage)
    {
        (void)clip, (void)stage;
        return false;
    }
    // The slash path of the clip under the pointer that the clip being
    // dragged is over, or was over when dropped; empty for none.
    virtual QString dropTarget(ClipObject* clip)
    {
        (void)clip;
        return {};
    }

    // The characters of the static text the clip shows, in depth order.
    virtual std::vector<StaticChar> staticText(ClipObject* clip)
    {
        (void)clip;
        return {};
    }

    // createTextField: an empty field of the given rectangle (pixels in the
    // parent's coordinates) at depth, replacing what is there.
    virtual TextFieldObject* createTextField(ClipObject* parent, const QString& name, int depth, const QRectF& rect)
    {
        (void)parent, (void)name, (void)depth, (void)rect;
        return nullptr;
    }
};

} // namespace qev::swf::avm1
