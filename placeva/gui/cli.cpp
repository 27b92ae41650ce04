#include "gui/cli.h"

#include "core/choicetable.h"
#include "core/csvexport.h"
#include "core/lastpass.h"
#include "gui/chancetexts.h"
#include "gui/filemenu.h"
#include "startup.h"
#include "toolkit.h"

#include <QElapsedTimer>

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
            u"ورود داده همه يا هيچ است: اگر رديفي رد شود هيچ رديفي افزوده نمي شود، مگر با --skip-refused.\n"
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
                       "An import is all or nothing: when a row is refused nothing is stored,\n"
                       "unless --skip-refused is given.\n"
                       "Exit status: 0 done, 1 input refused, 2 usage error.\n")};
    return program;
}

int usage(const QString &text)
{
    tk::printError(text + QStringLiteral(u"\nبراي راهنما: placeva --help"));
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

// The choice list of one applicant as a spreadsheet; an unknown applicant or
// choice is a usage error naming it.
int writeChoiceList(const Options &options, const QString &databaseFile, const LastPass &pass)
{
    const QVector<ApplicantResult> &applicants = pass.result().applicants;
    const auto found = std::find_if(applicants.cbegin(), applicants.cend(),
                                    [&](const ApplicantResult &a) { return a.name == *options.applicant; });
    if (found == applicants.cend())
        return usage(QStringLiteral(u"داوطلبي با نام «%1» نيست.").arg(*options.applicant));
    const ChoiceTableReading table = readChoiceTable(databaseFile);
    if (table.error) {
        tk::printError(table.error->message);
        return kRefused;
    }
    QStringList priorities = options.choices->split(QLatin1Char('|'));
    if (priorities.size() > kPriorities)
        return usage(QStringLiteral(u"فهرست انتخاب حداکثر %1 اولويت دارد، نه %2.")
                         .arg(kPriorities)
                         .arg(priorities.size()));
    for (QString &choice : priorities) {
        choice = choice.trimmed();
        const bool known = std::any_of(table.choices.cbegin(), table.choices.cend(),
                                       [&](const ChoiceRow &c) { return c.name == choice; });
        if (!choice.isEmpty() && !known)
            return usage(QStringLiteral(u"انتخاب «%1» در جدول انتخاب ها نيست.").arg(choice));
    }
    while (priorities.size() < kPriorities)
        priorities.append(QString());
    const QByteArray bytes = choiceListCsv(pass, found - applicants.cbegin(), priorities, table.choices);
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

Parsed parse(const QStringList &args)
{
    Parsed parsed;
    Options &o = parsed.options;
    QString commandOption;
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
        if (arg == QLatin1String("--choices")) {
            // An empty list is a list of empty priorities.
            if (i + 1 >= args.size()) {
                parsed.exitNow = usage(QStringLiteral(u"گزينه «%1» يک مقدار مي خواهد.").arg(arg));
                return parsed;
            }
            o.choices = args.at(++i);
        } else if (arg == QLatin1String("--database") || arg == QLatin1String("--factor")
                   || arg == QLatin1String("--applicant") || command != std::end(kCommands)) {
            const std::optional<QString> v = value(i);
            if (!v) {
                parsed.exitNow = usage(QStringLiteral(u"گزينه «%1» يک مقدار مي خواهد.").arg(arg));
                return parsed;
            }
            if (arg == QLatin1String("--database")) {
                o.database = *v;
            } else if (arg == QLatin1String("--factor")) {
                o.factor = *v;
            } else if (arg == QLatin1String("--applicant")) {
                o.applicant = *v;
            } else if (o.command != Command::None) {
                parsed.exitNow =
                    usage(QStringLiteral(u"در هر اجرا تنها يک فرمان: «%1» و «%2».").arg(commandOption, arg));
                return parsed;
            } else {
                o.command = command->command;
                o.file = *v;
                commandOption = arg;
            }
        } else if (arg == QLatin1String("--skip-refused")) {
            o.skipRefused = true;
        } else {
            parsed.exitNow = usage(QStringLiteral(u"گزينه «%1» شناخته نشد.").arg(arg));
            return parsed;
        }
    }
    const bool exports = o.command == Command::ExportResults || o.command == Command::Report
        || o.command == Command::ChoiceList;
    const bool imports = o.command == Command::ImportApplicants || o.command == Command::ImportReferences;
    const bool choiceList = o.command == Command::ChoiceList;
    if (o.factor && !exports)
        parsed.exitNow = usage(QStringLiteral(
            u"«--factor» تنها همراه با «--export-results»، «--report» يا «--choice-list» به کار مي رود."));
    else if ((o.applicant || o.choices) && !choiceList)
        parsed.exitNow =
            usage(QStringLiteral(u"«--applicant» و «--choices» تنها همراه با «--choice-list» به کار مي روند."));
    else if (choiceList && (!o.applicant || !o.choices))
        parsed.exitNow =
            usage(QStringLiteral(u"«--choice-list» نام داوطلب («--applicant») و انتخابها («--choices») را مي خواهد."));
    else if (o.skipRefused && !imports)
        parsed.exitNow = usage(QStringLiteral(
            u"«--skip-refused» تنها همراه با «--import-applicants» يا «--import-references» به کار مي رود."));
    return parsed;
}

int run(const Options &options, const QString &databaseFile, const MainWindowMaker &makeMain)
{
    // The windows' messages go to standard error, word for word.
    tk::MsgBox::setResponder([](const tk::MsgBox::Request &request) {
        tk::printError(request.text);
        return tk::MsgBox::AnswerOk;
    });
    tk::setEndHook([] {});
    setProgressShower(isatty(STDERR_FILENO)
                          ? ProgressShower(showProgress)
                          : ProgressShower([](const QString &, qsizetype, qsizetype) { return true; }));

    const std::unique_ptr<MainWindowLink> main = makeMain(databaseFile, options.factor);
    if (!main)
        return kRefused;
    if (!main->reread())
        return kRefused;

    bool refused = false;
    setImportConfirmer([&](QWidget *, const ImportPlan &plan, const QString &) {
        for (const ImportRefusal &r : plan.refusals)
            tk::printError(QStringLiteral(u"سطر %1، ستون «%2»: %3").arg(r.line).arg(r.column, r.reason));
        if (plan.refusedRows > 0 && !options.skipRefused) {
            tk::printError(QStringLiteral(u"رديفهاي ردشده: %1\nهيچ رديفي افزوده نشد.").arg(plan.refusedRows));
            refused = true;
            return false;
        }
        return true;
    });

    if (options.command == Command::ChoiceList)
        return writeChoiceList(options, databaseFile, main->lastPass());

    bool done = false;
    switch (options.command) {
    case Command::ExportResults: done = exportResultsToCsv(*main, options.file); break;
    case Command::ExportApplicants:
        done = exportTableToCsv(*main, ImportTable::Applicants, options.file);
        break;
    case Command::ExportReferences:
        done = exportTableToCsv(*main, ImportTable::References, options.file);
        break;
    case Command::Report: done = saveReportToPdf(*main, options.file); break;
    case Command::ImportApplicants: done = importCsv(*main, ImportTable::Applicants, options.file); break;
    case Command::ImportReferences: done = importCsv(*main, ImportTable::References, options.file); break;
    case Command::ImportChoices: done = importCsv(*main, ImportTable::Choices, options.file); break;
    case Command::ExportChoices: done = exportTableToCsv(*main, ImportTable::Choices, options.file); break;
    case Command::ChoiceList:
    case Command::None: done = true; break;
    }
    setImportConfirmer({});
    return done && !refused ? kOk : kRefused;
}

} // namespace placeva::cli
