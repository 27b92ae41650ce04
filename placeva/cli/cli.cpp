#include "cli/cli.h"

#include "bidi.h"
#include "core/choicetable.h"
#include "core/csvexport.h"
#include "core/outputcheck.h"
#include "core/workspace.h"
#include "gui/chancetexts.h"
#include "gui/filetexts.h"
#include "gui/filework.h"
#include "gui/sheet.h"
#include "startup.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

namespace placeva::cli {

namespace {

constexpr int kPriorities = 10; // as the choice list has them

struct CommandName
{
    const char *option;
    Command command;
};
const CommandName kCommands[] = {
    {"--export-results", Command::ExportResults},       {"--export-applicants", Command::ExportApplicants},
    {"--export-references", Command::ExportReferences}, {"--report", Command::Report},
    {"--import-applicants", Command::ImportApplicants}, {"--import-references", Command::ImportReferences},
    {"--import-choices", Command::ImportChoices},       {"--export-choices", Command::ExportChoices},
    {"--choice-list", Command::ChoiceList},
    {"--sheet", Command::Sheet},                        {"--sheets", Command::Sheets},
};

const tk::ProgramInfo &info()
{
    static const tk::ProgramInfo program{
        QStringLiteral("placeva"), QStringLiteral(KT_VERSION),
        QStringLiteral(
            u"پلاسوا: بانک اطلاعات داوطلبان، رتبه تخميني و وضعيت قبولي.\n"
            u"استفاده: placeva [--database پرونده] [فرمان]\n"
            u"  --help                        همين راهنما\n"
            u"  --version                     نام و نسخه برنامه\n"
            u"  --database پرونده             اين بانک اطلاعات را باز کن\n"
            u"فرمانها (بدون پنجره اجرا مي شوند و برنامه را مي بندند):\n"
            u"  --export-results خروجي.csv [--factor ميزان]   خروجي نتيجه محاسبه\n"
            u"  --export-applicants خروجي.csv                 خروجي داوطلبان\n"
            u"  --export-references خروجي.csv                 خروجي نتايج مرجع\n"
            u"  --report گزارش.pdf [--factor ميزان]           ذخيره گزارش به PDF\n"
            u"  --import-applicants ورودي.csv [--skip-refused] ورود داوطلبان\n"
            u"  --import-references ورودي.csv [--skip-refused] ورود نتايج مرجع\n"
            u"  --import-choices ورودي.csv                    جايگزيني جدول انتخاب ها (Name,Hadd)\n"
            u"  --export-choices خروجي.csv                    خروجي جدول انتخاب ها\n"
            u"  --choice-list خروجي.csv --applicant نام --choices \"انتخاب1|انتخاب2|...\" [--factor ميزان]\n"
            u"                                                 شانس قبولي هر اولويت فهرست انتخاب\n"
            u"  --sheet کارنامه.pdf --applicant نام [--choices \"C1|…\"] [--factor ميزان]  کارنامه مشاوره يک داوطلب\n"
            u"  --sheets پوشه [--factor ميزان]                کارنامه مشاوره همه داوطلبان، هر يک در يک PDF\n"
            u"  [--skip-duplicates]                          همراه با ورود: بي رديفهاي همانند\n"
            u"ميزان عددي بزرگتر از 0 و حداکثر 1000 است.\n"
            u"ورود داده همه يا هيچ است: اگر رديفي رد شود هيچ رديفي افزوده نمي شود، مگر با --skip-refused.\n"
            u"رديفهاي همانند رديفهاي موجود شمرده و افزوده مي شوند، مگر با --skip-duplicates.\n"
            u"خروجي «-» يعني خروجي استاندارد.\n"
            u"وضعيت خروج: 0 انجام شد، 1 ورودي پذيرفته نشد، 2 استفاده نادرست.\n"),
        QStringLiteral("Placeva: the applicants' database, estimated ranks and placement bands.\n"
                       "Usage: placeva [--database FILE] [COMMAND]\n"
                       "  --help                        this help\n"
                       "  --version                     the program's name and version\n"
                       "  --database FILE               open this database\n"
                       "Commands (run without a window, then exit):\n"
                       "  --export-results OUT.csv [--factor X]       the computed results\n"
                       "  --export-applicants OUT.csv                 the applicants (Davtalab)\n"
                       "  --export-references OUT.csv                 the reference results (Formol)\n"
                       "  --report OUT.pdf [--factor X]               the report as PDF\n"
                       "  --import-applicants IN.csv [--skip-refused] import applicants\n"
                       "  --import-references IN.csv [--skip-refused] import reference results\n"
                       "  --import-choices IN.csv                     replace this year's choices (Entekhab)\n"
                       "  --export-choices OUT.csv                    this year's choices\n"
                       "  --choice-list OUT.csv --applicant NAME --choices \"C1|C2|...\" [--factor X]\n"
                       "                                              a choice list's chance per priority\n"
                       "  --sheet OUT.pdf --applicant NAME [--choices \"C1|...\"] [--factor X]\n"
                       "                                              one applicant's counselling sheet\n"
                       "  --sheets FOLDER [--factor X]                one sheet per applicant, one PDF each\n"
                       "  [--skip-duplicates]                        with an import: without identical rows\n"
                       "X is a number above 0 and at most 1000.\n"
                       "An import is all or nothing: when a row is refused nothing is stored,\n"
                       "unless --skip-refused is given.\n"
                       "Rows identical to stored ones are counted, and stored unless --skip-duplicates.\n"
                       "An output of \"-\" is standard output.\n"
                       "Exit status: 0 done, 1 input refused, 2 usage error.\n")};
    return program;
}

// Option names quoted in a Persian sentence read in their own order; the
// ones already isolated (what the user typed) are left as they are.
QString isolateOptionNames(const QString &text)
{
    static const QRegularExpression option(QStringLiteral(u"«(--[a-z-]+)»"));
    QRegularExpressionMatchIterator it = option.globalMatch(text);
    QString out;
    qsizetype from = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(from, m.capturedStart(1) - from);
        out += common::isolate(m.captured(1));
        from = m.capturedEnd(1);
    }
    return out + text.mid(from);
}

int usage(const QString &text)
{
    tk::printError(isolateOptionNames(text) + QStringLiteral(u"\nبراي راهنما: placeva --help"));
    return kUsage;
}

// An applicant asked for by name that the table does not hold: said the same
// way by every command, the name cut short as any quoted cell.
int unknownApplicant(const QString &name)
{
    tk::printError(QStringLiteral(u"داوطلبي به نام «%1» در جدول %2 نيست.")
                       .arg(common::isolate(cutForMessage(name)),
                            common::isolate(importTableName(ImportTable::Applicants))));
    return kUsage;
}

// Progress on a terminal: one line rewritten in place, at most a few times a second.
bool showProgress(const QString &label, qsizetype done, qsizetype all)
{
    static QElapsedTimer since;
    if (since.isValid() && since.elapsed() < 200 && done < all)
        return true;
    since.start();
    const int percent = all > 0 ? int(100 * std::min(done, all) / all) : 0;
    const QByteArray line = QStringLiteral("\r%1 %2%").arg(label).arg(percent).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    if (done >= all)
        std::fputc('\n', stderr);
    std::fflush(stderr);
    return true;
}

// The sheets' progress: on a terminal rewritten in place, otherwise a line
// now and then, so that a script's log shows it moving.
bool showSheetsProgress(const QString &label, qsizetype done, qsizetype all)
{
    if (isatty(STDERR_FILENO))
        return showProgress(label, done, all);
    if (done == all || done % 100 == 0)
        tk::printError(QStringLiteral("%1 %2/%3").arg(label).arg(done).arg(all));
    return true;
}

// The priorities of --choices as the choice list takes them, with this
// year's choices they are picked from: trimmed, each a choice of the table or
// empty, ten in all. Nothing, with the status to end with after saying why,
// when the table cannot be read or a priority is not a choice; an unknown
// choice is a usage error naming it.
std::optional<GivenList> givenList(const QString &choices, const QString &databaseFile, int *status)
{
    const ChoiceTableReading table = readChoiceTable(databaseFile);
    if (table.error) {
        tk::printError(table.error->message);
        *status = kRefused;
        return std::nullopt;
    }
    QStringList priorities = choices.split(QLatin1Char('|'));
    if (priorities.size() > kPriorities) {
        *status = usage(QStringLiteral(u"فهرست انتخاب حداکثر %1 اولويت دارد، نه %2.")
                            .arg(kPriorities)
                            .arg(priorities.size()));
        return std::nullopt;
    }
    for (QString &choice : priorities) {
        choice = choice.trimmed();
        const bool known = std::any_of(table.choices.cbegin(), table.choices.cend(),
                                       [&](const ChoiceRow &c) { return c.name == choice; });
        if (!choice.isEmpty() && !known) {
            *status = usage(QStringLiteral(u"انتخاب «%1» در جدول انتخاب ها نيست.").arg(common::isolate(cutForMessage(choice))));
            return std::nullopt;
        }
    }
    while (priorities.size() < kPriorities)
        priorities.append(QString());
    return GivenList{priorities, table.choices};
}

// The choice list of one applicant as a spreadsheet; an unknown applicant or
// choice is a usage error naming it.
int writeChoiceList(const Options &options, const QString &databaseFile, const PassResult &pass)
{
    const QVector<ApplicantResult> &applicants = pass.applicants;
    const auto found = std::find_if(applicants.cbegin(), applicants.cend(),
                                    [&](const ApplicantResult &a) { return a.name == *options.applicant; });
    if (found == applicants.cend())
        return unknownApplicant(*options.applicant);
    int status = kOk;
    const std::optional<GivenList> list = givenList(*options.choices, databaseFile, &status);
    if (!list)
        return status;
    const QByteArray bytes = choiceListCsv(pass, found - applicants.cbegin(), list->priorities, list->choices);
    const QString error = writeFileWhole(options.file, bytes);
    if (!error.isEmpty()) {
        tk::printError(error);
        return kRefused;
    }
    return kOk;
}

} // namespace

std::optional<int> answerInfo(const QStringList &args)
{
    for (const QString &arg : args) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h") || arg == QLatin1String("--version")
            || arg == QLatin1String("-v"))
            return tk::handleInfoOptions({arg}, info());
    }
    return std::nullopt;
}

bool runsWithoutWindow(const QStringList &args)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--database")) {
            ++i;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return true;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            // Qt's own (-style fusion, -reverse): its value, if any, is Qt's too.
            if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1Char('-')))
                ++i;
        } else {
            return true; // a stray word: a usage error, told without a display
        }
    }
    return false;
}

QStringList withoutQtOptions(const QStringList &args)
{
    QStringList kept;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool ours = arg == QLatin1String("--database") || arg == QLatin1String("--factor")
            || std::any_of(std::begin(kCommands), std::end(kCommands),
                           [&](const CommandName &c) { return arg == QLatin1String(c.option); });
        if (ours) {
            kept << arg;
            if (i + 1 < args.size())
                kept << args.at(++i); // its value, even "-" (standard output)
        } else if (arg.startsWith(QLatin1Char('-')) && !arg.startsWith(QLatin1String("--"))
                   && arg.size() > 1) {
            // Qt's own: its value, if any, is Qt's too.
            if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1Char('-')))
                ++i;
        } else {
            kept << arg;
        }
    }
    return kept;
}

bool paints(Command command)
{
    return command == Command::Report || command == Command::Sheet || command == Command::Sheets;
}

Parsed parse(const QStringList &args)
{
    Parsed parsed;
    Options &o = parsed.options;
    QString commandOption;
    QStringList seen;
    const auto value = [&](qsizetype &i) -> std::optional<QString> {
        if (i + 1 >= args.size() || args.at(i + 1).isEmpty())
            return std::nullopt;
        return args.at(++i);
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto command =
            std::find_if(std::begin(kCommands), std::end(kCommands),
                         [&](const CommandName &c) { return arg == QLatin1String(c.option); });
        // A second value would silently win over the first.
        if (arg.startsWith(QLatin1String("--")) && seen.contains(arg)) {
            parsed.exitNow = usage(QStringLiteral(u"گزينه «%1» دو بار آمده است؛ هر گزينه يک بار.").arg(common::isolate(arg)));
            return parsed;
        }
        seen << arg;
        if (arg == QLatin1String("--choices")) {
            // An empty list is a list of empty priorities.
            if (i + 1 >= args.size()) {
                parsed.exitNow = usage(QStringLiteral(u"گزينه «%1» يک مقدار مي خواهد.").arg(common::isolate(arg)));
                return parsed;
            }
            o.choices = args.at(++i);
        } else if (arg == QLatin1String("--database") || arg == QLatin1String("--factor")
                   || arg == QLatin1String("--applicant") || command != std::end(kCommands)) {
            const std::optional<QString> v = value(i);
            if (!v) {
                parsed.exitNow = usage(QStringLiteral(u"گزينه «%1» يک مقدار مي خواهد.").arg(common::isolate(arg)));
                return parsed;
            }
            if (arg == QLatin1String("--database")) {
                o.database = *v;
            } else if (arg == QLatin1String("--factor")) {
                if (checkFactor(*v) != FactorCheck::Ok) {
                    parsed.exitNow =
                        usage(QStringLiteral(u"ميزان «%1» پذيرفته نيست: عددي بزرگتر از 0 و حداکثر %2 بدهيد.")
                                  .arg(common::isolate(cutForMessage(*v)))
                                  .arg(kMaxFactor));
                    return parsed;
                }
                o.factor = *v;
            } else if (arg == QLatin1String("--applicant")) {
                o.applicant = *v;
            } else if (o.command != Command::None) {
                parsed.exitNow =
                    usage(QStringLiteral(u"در هر اجرا تنها يک فرمان: «%1» و «%2».").arg(common::isolate(commandOption), common::isolate(arg)));
                return parsed;
            } else {
                o.command = command->command;
                o.file = *v;
                commandOption = arg;
            }
        } else if (arg == QLatin1String("--skip-refused")) {
            o.skipRefused = true;
        } else if (arg == QLatin1String("--skip-duplicates")) {
            o.skipDuplicates = true;
        } else {
            parsed.exitNow = usage(QStringLiteral(u"گزينه «%1» شناخته نشد.").arg(common::isolate(arg)));
            return parsed;
        }
    }
    const bool sheets = o.command == Command::Sheet || o.command == Command::Sheets;
    const bool exports = o.command == Command::ExportResults || o.command == Command::Report
        || o.command == Command::ChoiceList || sheets;
    const bool imports = o.command == Command::ImportApplicants || o.command == Command::ImportReferences;
    const bool choiceList = o.command == Command::ChoiceList;
    if (o.factor && !exports)
        parsed.exitNow = usage(QStringLiteral(u"«--factor» تنها همراه با «--export-results»، «--report»، «--choice-list»، «--sheet» يا «--sheets» به کار مي رود."));
    else if ((o.applicant || o.choices) && !choiceList && o.command != Command::Sheet)
        parsed.exitNow = usage(QStringLiteral(
            u"«--applicant» و «--choices» تنها همراه با «--choice-list» يا «--sheet» به کار مي روند."));
    else if (choiceList && (!o.applicant || !o.choices))
        parsed.exitNow =
            usage(QStringLiteral(u"«--choice-list» نام داوطلب («--applicant») و انتخابها («--choices») را مي خواهد."));
    else if (o.command == Command::Sheet && !o.applicant)
        parsed.exitNow = usage(QStringLiteral(u"«--sheet» نام داوطلب را با «--applicant» مي خواهد."));
    else if (o.skipRefused && !imports)
        parsed.exitNow = usage(QStringLiteral(
            u"«--skip-refused» تنها همراه با «--import-applicants» يا «--import-references» به کار مي رود."));
    else if (o.skipDuplicates && !imports)
        parsed.exitNow = usage(QStringLiteral(u"«--skip-duplicates» تنها همراه با «--import-applicants» يا "
                                              u"«--import-references» به کار مي رود."));
    return parsed;
}

namespace {

// The file menu's work told on standard error: its messages word for word,
// progress on a terminal only, the import's preview as lines naming what it
// would show.
class CliWork : public FileWork
{
public:
    CliWork(Workspace &workspace, const Options &options) : FileWork(workspace), m_options(options) { }
    // An import stopped for refused rows (without --skip-refused).
    bool refused() const { return m_refused; }

protected:
    void tell(const QString &, const QString &text, Level) override { tk::printError(text); }
    bool confirmImport(ImportPlan &plan, const QString &) override
    {
        // What the preview would show, before anything is stored.
        const QStringList unknown = plan.unknownHeaders();
        if (!unknown.isEmpty()) {
            QStringList names;
            for (const QString &h : unknown)
                names << QStringLiteral(u"«%1»").arg(common::isolate(cutForMessage(h)));
            tk::printError(QStringLiteral(u"ستونهاي ناشناخته (ناديده گرفته مي شوند): %1")
                               .arg(names.join(QStringLiteral(u"، "))));
        }
        if (!plan.absentFields.isEmpty())
            tk::printError(QStringLiteral(u"فيلدهاي بي ستون (خالي ذخيره مي شوند): %1")
                               .arg(plan.absentFields.join(QStringLiteral(u"، "))));
        for (const ImportRefusal &r : plan.refusals)
            tk::printError(
                QStringLiteral(u"سطر %1، ستون «%2»: %3").arg(r.line).arg(common::isolate(cutForMessage(r.column)), r.reason));
        if (plan.refusedRows > 0 && !m_options.skipRefused) {
            tk::printError(QStringLiteral(u"رديفهاي ردشده: %1\nهيچ رديفي افزوده نشد.").arg(plan.refusedRows));
            m_refused = true;
            return false;
        }
        if (plan.refusedRows > 0)
            tk::printError(QStringLiteral(u"%1 رديف ردشده کنار گذاشته شد.").arg(plan.refusedRows));
        if (!plan.duplicateRows.isEmpty()) {
            plan.skipDuplicates = m_options.skipDuplicates;
            tk::printError(duplicateRowsText(plan.duplicateRows.size())
                           + (m_options.skipDuplicates ? QStringLiteral(u"؛ افزوده نمي شوند.")
                                                       : QStringLiteral(u"؛ باز هم افزوده مي شوند.")));
        }
        return true;
    }
    std::unique_ptr<Phase> phase(const QString &label, qsizetype steps) override
    {
        class Line : public Phase
        {
        public:
            Line(const QString &label, qsizetype steps) : m_label(label), m_steps(steps) { }
            bool step(qsizetype done) override
            {
                return m_label.isEmpty() || !isatty(STDERR_FILENO) || showProgress(m_label, done, m_steps);
            }

        private:
            QString m_label;
            qsizetype m_steps;
        };
        return std::make_unique<Line>(label, steps);
    }
    ReportProgress reportProgress(const QString &label) override
    {
        if (!isatty(STDERR_FILENO))
            return {};
        return [label](int done, int pages) { return showProgress(label, done, pages); };
    }

private:
    const Options &m_options;
    bool m_refused = false;
};

} // namespace

int run(const Options &options, Workspace &workspace)
{
    // The output or input is checked before the database is read.
    const QString databaseFile = workspace.databaseFile();
    const bool imports = options.command == Command::ImportApplicants
        || options.command == Command::ImportReferences || options.command == Command::ImportChoices;
    if (options.command != Command::None) {
        if (const DatabaseFile which = databaseFileNamed(options.file, databaseFile);
            which != DatabaseFile::None) {
            tk::printError(databaseClashText(options.file, databaseFile, which, imports));
            return kRefused;
        }
        // --sheets writes into a folder; each sheet's file is new there.
        const bool folder = options.command == Command::Sheets;
        if (const FileOutcome checked = imports || folder ? FileOutcome{} : checkOutput(options.file);
            !checked.ok()) {
            tk::printError(outputRefusalText(options.file, checked));
            return kRefused;
        }
    }

    if (const MaybeError error = workspace.load()) {
        tk::printError(error->message);
        return kRefused;
    }
    workspace.run(options.factor.value_or(QString::fromUtf16(kDefaultFactor)));

    // A table that lacks a field imports refuse is not exported as if whole.
    for (const auto &[command, table] : {std::pair{Command::ExportApplicants, ImportTable::Applicants},
                                         std::pair{Command::ExportReferences, ImportTable::References}}) {
        if (options.command != command)
            continue;
        if (const MaybeError error = checkTableFields(workspace.location(), table)) {
            tk::printError(error->message);
            return kRefused;
        }
    }

    if (options.command == Command::ChoiceList)
        return writeChoiceList(options, databaseFile, workspace.result());

    bool done = false;
    CliWork work(workspace, options);
    switch (options.command) {
    case Command::ExportResults: done = work.exportResults(options.file); break;
    case Command::ExportApplicants: done = work.exportTable(ImportTable::Applicants, options.file); break;
    case Command::ExportReferences: done = work.exportTable(ImportTable::References, options.file); break;
    case Command::Report: done = work.saveReport(options.file); break;
    case Command::ImportApplicants: done = work.importCsv(ImportTable::Applicants, options.file); break;
    case Command::ImportReferences: done = work.importCsv(ImportTable::References, options.file); break;
    case Command::Sheet: {
        const std::optional<qsizetype> k = findApplicant(workspace.result(), *options.applicant);
        if (!k)
            return unknownApplicant(*options.applicant);
        std::optional<GivenList> list;
        if (options.choices) {
            int status = kOk;
            list = givenList(*options.choices, databaseFile, &status);
            if (!list)
                return status;
        }
        QString error;
        const std::optional<CounselSheet> sheet = sheetFor(workspace, *k, list, &error);
        if (sheet)
            error = saveSheetPdf(*sheet, options.file);
        if (!error.isEmpty())
            tk::printError(error);
        done = error.isEmpty();
        break;
    }
    case Command::Sheets: {
        const QString label = sheetTitle();
        qsizetype written = 0;
        const QString error = saveAllSheets(
            workspace, options.file,
            [&](qsizetype d, qsizetype all) { return showSheetsProgress(label, d, all); }, &written);
        if (!error.isEmpty())
            tk::printError(error);
        else
            tk::printError(QStringLiteral(u"%1 کارنامه در پوشه «%2» نوشته شد.")
                               .arg(written)
                               .arg(common::isolatedPath(QFileInfo(options.file).absoluteFilePath())));
        done = error.isEmpty();
        break;
    }
    case Command::ImportChoices: done = work.importCsv(ImportTable::Choices, options.file); break;
    case Command::ExportChoices: done = work.exportTable(ImportTable::Choices, options.file); break;
    case Command::ChoiceList:
    case Command::None: done = true; break;
    }
    return done && !work.refused() ? kOk : kRefused;
}

} // namespace placeva::cli
