// A corpus of code pictures made on the spot: every format zint writes that
// the code-format menu names (and Micro QR), each drawn by zint and laid out
// in a few ways a photo or a scan shows it: upright, turned, skewed, off the
// middle, with small modules, on a busy background. The tests read it with
// the decode options off and on; tools/make-code-corpus.sh writes it to a
// folder (through bench/make_code_corpus) and counts what lantrix-scan reads.
#pragma once

#include "decode/BarcodeFormat.h"

#include <QImage>
#include <QString>

#include <span>

// One code of the corpus.
struct TCorpusCode {
    const char* name;            // the pictures' names start with it: "data_matrix"
    TBarcodeFormat format;       // the menu's format (or MICRO_QR)
    int zintSymbology;           // zint's --barcode number
    const char* data;            // zint's input
    const char* text;            // what a reader answers, add-on digits left out
    bool matrix;                 // a matrix code (square modules, larger scale)
    const char* addOn = nullptr; // the add-on digits it carries
};

std::span<const TCorpusCode> CorpusCodes();

// The ways a code is laid out.
enum class TCorpusLayout { Upright, Turned90, Turned180, Turned270, Skewed, OffCentre, SmallModules, Photo };

std::span<const TCorpusLayout> CorpusLayouts();

// "upright", "turned90", ...: the end of the pictures' names.
const char* CorpusLayoutName(TCorpusLayout layout);

// The code drawn by zint with a quiet zone, black on white, `pixelsPerModule`
// pixels a module (1 or more); a null picture when zint cannot be run.
// (GS1 QR and Data Matrix codes too: data that starts with an application
// identifier in brackets.)
QImage ZintPicture(const TCorpusCode& code, int pixelsPerModule);

// The picture of `code` laid out as `layout`; a null picture when zint cannot be run.
QImage CorpusPicture(const TCorpusCode& code, TCorpusLayout layout);

// "data_matrix_turned90".
QString CorpusPictureName(const TCorpusCode& code, TCorpusLayout layout);
