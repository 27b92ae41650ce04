#pragma once
// Spreadsheet files: telling the encoding of a file's bytes (UTF-8 with or
// without a byte-order mark, or the Arabic code page Windows-1256), reading
// and writing comma-, semicolon- or tab-separated records with quoting, and
// the weighted averages of whole rows. No widgets.

#include "core/subjects.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <functional>

namespace placeva {

enum class TextEncoding {
    Utf8WithBom,
    Utf8,
    Windows1256
};

// How the preview names an encoding.
QString encodingName(TextEncoding encoding);

enum class TextProblem {
    None,
    Empty,   // no bytes, or nothing but a byte-order mark, blanks and line ends
    NotText, // NUL bytes, or control characters once decoded
    Utf16,   // a UTF-16 byte-order mark ("Unicode text" of some spreadsheets)
};

struct DecodedText
{
    QString text; // without the byte-order mark
    TextEncoding encoding = TextEncoding::Utf8;
    TextProblem problem = TextProblem::None;
};

// A byte-order mark means UTF-8; bytes that are valid UTF-8 are UTF-8;
// anything else is read as Windows-1256, where every byte has a character.
DecodedText decodeText(QByteArrayView bytes);

// The same verdict with the text as UTF-8 bytes, for reading a large file
// without decoding it whole: UTF-8 is read in place (text shares `bytes`,
// which must outlive it), anything else is converted as decodeText would
// decode it.
struct Utf8Text
{
    QByteArray text; // without the byte-order mark
    TextEncoding encoding = TextEncoding::Utf8;
    TextProblem problem = TextProblem::None;
};
Utf8Text utf8Text(QByteArrayView bytes);

// Windows-1256 bytes to text. Letters are kept as the code page has them
// (its yeh is U+064A, its keheh U+06A9, its kaf U+0643).
QString fromWindows1256(QByteArrayView bytes);

// One record of a separated file: its fields and the line it starts on
// (counted from 1; a line break inside quotes starts a new line).
struct CsvRecord
{
    QStringList fields;
    int line = 0;
};

struct CsvTable
{
    QList<CsvRecord> records;
    // Set when a quote opened on this line is never closed: the rest of the
    // file would be one field, so the file cannot be trusted.
    int unclosedQuoteLine = 0;
    // Set when a record on this line has more cells than the reader allows;
    // reading stopped there.
    int tooWideLine = 0;
    bool cancelled = false; // `keepGoing` said stop
};

// More cells in one record than any table has fields: a file that is not a
// table, or one read with the wrong separator.
inline constexpr int kMaxCsvFields = 1000;

// The separator of the first record: whichever of tab, ";" and "," occurs
// most often outside quotes there; "," when none does.
QChar detectSeparator(QStringView text);

QChar detectSeparatorUtf8(QByteArrayView utf8);

// Name of a separator for the preview.
QString separatorName(QChar separator);

// Reads records as RFC 4180 has them: a field in double quotes may hold the
// separator, line breaks and doubled quotes; CRLF, LF or CR end a record.
// Lenient where spreadsheets are: a quote inside an unquoted field, or text
// after a closing quote, is kept as it stands. With `maxFields` above 0,
// reading stops at the first record that has more cells. `keepGoing` is
// asked now and then with the share of the text read (0 to 1000); false
// stops the reading.
CsvTable parseCsv(QStringView text, QChar separator, int maxFields = 0,
                  const std::function<bool(int permille)> &keepGoing = {});

// The same, one record at a time, so that a large file is never held as
// cells all at once: each record goes to `take`, which may move from it;
// false from `take` stops the reading. The table returned has no records.
CsvTable readCsv(QStringView text, QChar separator, int maxFields,
                 const std::function<bool(CsvRecord &)> &take,
                 const std::function<bool(int permille)> &keepGoing = {});

// readCsv on UTF-8 bytes: the cells are views into the text or, for a field
// read in pieces (quotes), into a buffer of the reader's,
// valid until `take` returns, so that no row costs an allocation.
struct CsvBytesRecord
{
    QList<QByteArrayView> fields;
    int line = 0;
};
CsvTable readCsvUtf8(QByteArrayView utf8, char separator, int maxFields,
                     const std::function<bool(CsvBytesRecord &)> &take,
                     const std::function<bool(int permille)> &keepGoing = {});

// A cell's UTF-8 as text, as the cell reads within its decoded file: a
// leading U+FEFF is kept, which QString::fromUtf8 would drop.
QString utf8CellText(QByteArrayView utf8);

// True for a record whose fields are all empty or blank.
bool isBlankRecord(const QStringList &fields);
bool isBlankRecord(const QList<QByteArrayView> &utf8Fields);
// True for UTF-8 text that is empty or blank, blanks as QChar::isSpace has them.
bool isBlankUtf8(QByteArrayView utf8);

// Appends one record: fields joined by ",", quoted where they hold a comma,
// a quote or a line break, and CRLF.
void appendCsvRecord(QString &out, const QStringList &fields);

// common::shortestChars's text of `value`, by a quicker way for the many
// numbers a file holds: a number that is the double nearest to a decimal of
// at most 15 digits (nearly every stored number) has those digits.
int numberChars(double value, char (&out)[48]);

// UTF-8 with a byte-order mark, so that a spreadsheet shows Persian at once.
QByteArray csvFileBytes(const QString &text);

// A spreadsheet runs a cell that starts with "=", "+", "-", "@", a tab or a
// carriage return as a formula. Such a text (unless it is a plain number)
// goes out with a leading apostrophe, and so does a text that itself starts
// with one, so that reading it back undoes exactly what writing did.
QString spreadsheetSafeText(const QString &text);
QString fromSpreadsheetSafeText(const QString &text);

// The weighted averages of the data-entry windows, step by step as they
// compute them (weightedAverageText): the running total goes through its
// shortest text after each subject, each subject's text is read by the
// leading-number parse. Throws common::NumberError on an arithmetic fault.
QString applicantAverageText(const std::array<QString, kApplicantSubjectCount> &subjects);
QString referenceAverageText(const std::array<QString, kReferenceSubjectCount> &subjects);
// The same from the subjects' values as already read (0 for an empty one).
QString applicantAverageText(const std::array<double, kApplicantSubjectCount> &subjects);
QString referenceAverageText(const std::array<double, kReferenceSubjectCount> &subjects);

} // namespace placeva
