#pragma once

// The simple HTML of text fields: <b>, <i>, <u>, <font color size face>,
// <br>, <p align>, <li>, entities. Anything else is skipped, keeping its
// text.

#include <QColor>
#include <QString>

#include <optional>
#include <vector>

namespace qev::swf::text {

enum class Align { Left, Right, Center, Justify };

// The format of a run; unset values come from the field.
struct RunFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::optional<QColor> color;
    std::optional<double> size; // pixels
    std::optional<QString> face;
    friend bool operator==(const RunFormat&, const RunFormat&) = default;
};

struct Run {
    QString text;
    RunFormat format;
};

// A paragraph is a run of text ending at a paragraph or line break; lines
// within it come from word wrap only.
struct Paragraph {
    std::vector<Run> runs;
    std::optional<Align> align;
    QString plainText() const;
};

// Splits plain text at CR, LF and CR LF; every paragraph has one run.
std::vector<Paragraph> plainParagraphs(const QString& text);

// Parses HTML text. base is the format the outermost text has.
std::vector<Paragraph> parseHtml(const QString& html, const RunFormat& base = {});

// HTML shown in a field that is not multiline: its paragraphs run on as one
// (plain text keeps its line breaks in any field).
void joinParagraphs(std::vector<Paragraph>& paragraphs);

// Decodes one entity body (without & and ;): lt, gt, amp, quot, apos, nbsp,
// #NN and #xNN; nullopt when unknown.
std::optional<QString> decodeEntity(const QString& name);

} // namespace qev::swf::text
