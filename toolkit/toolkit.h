#pragma once
// The window toolkit the three programs' windows are built on: thin Qt widgets
// with the event semantics the windows rely on (change events on every
// assignment, list clicks raised by code, load and activate events, message
// boxes a test can answer, and handlers whose errors never kill the program).

#include "startup.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QStringListModel>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QApplication;
class QMenuBar;

namespace tk {

// ---- units, colours, fonts -------------------------------------------------

// Twips to pixels at 96 dots per inch (15 twips to a pixel).
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}
// A colour number in the 0x00BBGGRR form.
QColor color(std::uint32_t bgr);
constexpr std::uint32_t rgb(int r, int g, int b)
{
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16;
}
// The family that shows Persian on a fresh machine; fontconfig falls back to
// any installed font with Arabic glyphs when it is missing.
inline constexpr const char *kPersianFamily = "Noto Sans Arabic UI";
// Point sizes are turned into pixels at 96 dpi so that text keeps its
// proportion to the pixel-placed controls on any screen.
QFont font(double points, bool bold = false);
// Style, default font and the like, once per program.
void setupApplication(QApplication &app);
// The publisher's web address, shown at the foot of every window.
QString webAddress();
// Places a widget by a rectangle in twips.
void place(QWidget *w, int left, int top, int width = -1, int height = -1);
// True where the text holds Arabic-script letters (for reading order).
bool hasArabicScript(const QString &text);

// ---- the screen ------------------------------------------------------------

// The part of the screen a window may take (the screen less its panels).
QRect availableArea(const QWidget *window = nullptr);
// Replaces the screen's available area (a test's or a picture's laptop
// screen); nullopt gives the screen's own back.
void setAvailableArea(const std::optional<QRect> &area);
// What the title bar and borders add around a window, estimated while the
// platform has not said.
QMargins frameAllowance(const QWidget *window);
// A window or dialog laid out by Qt: no larger than the available area, and
// moved inside it.
void fitToScreen(QWidget *window);

// ---- controls --------------------------------------------------------------

// A caption's words, as a screen reader should say them: without the colons
// and blanks that only set it off from what it names.
QString captionWords(const QString &caption);

class Label : public QLabel
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent = nullptr, const QString &caption = {});
    // The caption reads back exactly as it was set (plain text, no markup).
    void setCaption(const QString &caption) { setText(caption); }
    QString caption() const { return text(); }
    // Hides QLabel::setText so that every way of setting the caption keeps
    // the accessible name current.
    void setText(const QString &caption);
    void setForeColor(std::uint32_t bgr);
    // Makes this a value label named by `caption`: assistive technology reads
    // "caption words: value", kept current on every change of the value.
    void setValueCaption(QLabel *caption);

private:
    void updateAccessibleName();
    QPointer<QLabel> m_valueCaption;
};

// Makes `label` the caption of `box`: its buddy, and the box's accessible
// name; a value label (tk::Label) is named by the caption and its value.
void setCaptionFor(QLabel *label, QWidget *box);

class TextBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit TextBox(QWidget *parent = nullptr);
    // Unlike QLineEdit::setText this raises change() also when the text is
    // the same, synchronously, inside the assigning code.
    void setText(const QString &text);
    // Limits what the user types; text set by code is never cut.
    void setTypedLimit(int chars);
    int typedLimit() const { return m_typedLimit; }
    void setBackColor(std::uint32_t bgr);
    std::uint32_t backColor() const { return m_backColor; }
    // True once the user typed or pasted since the flag was last cleared.
    bool userEdited() const { return m_userEdited; }
    void clearUserEdited() { m_userEdited = false; }
    // The text before the edit being validated.
    const QString &acceptedText() const { return m_acceptedText; }
    // True while code assigns the text, which no typed limit cuts.
    bool assigning() const { return m_assigning; }

signals:
    void change();

private:
    int m_typedLimit = 0;
    QString m_acceptedText;
    bool m_assigning = false;
    std::uint32_t m_backColor = 0xFFFFFFFF;
    bool m_userEdited = false;
};

class Button : public QPushButton
{
    Q_OBJECT
public:
    explicit Button(QWidget *parent = nullptr, const QString &caption = {});
};

class ListBox : public QListView
{
    Q_OBJECT
public:
    // A row's text (or tooltip) by position, asked for only when needed.
    using RowText = std::function<QString(int row)>;

    explicit ListBox(QWidget *parent = nullptr);
    void addItem(const QString &text);
    // Replaces every row at once (for long lists).
    void setItems(const QStringList &rows);
    // Replaces every row at once with `count` rows whose texts and tooltips
    // are made when the view, a reader or a screen reader asks: a list of
    // many rows costs what is shown, not what it holds. The functions must
    // answer for every row below `count` until the rows are replaced.
    void setRows(int count, RowText text, RowText tip = {});
    void clear();
    int count() const;
    QString itemText(int row) const;
    QStringList items() const;
    int listIndex() const { return m_listIndex; }
    // Raises click() when the row differs from the selected one; nothing
    // otherwise. A row outside the list clears the selection.
    void setListIndex(int row);
    void setRightToLeft(bool rtl);
    // Lists that scroll as one: scrolling any of them (wheel, scroll bar,
    // keys, a selection from code) brings the others to the same first row.
    static void scrollTogether(const QList<ListBox *> &lists);
    // One tooltip per row, by position; rows beyond the list and empty texts
    // show none. Replacing or clearing the rows drops them.
    void setToolTips(const QStringList &tips);

signals:
    void click();

protected:
    // A row cut at the list's edge shows whole in its tooltip.
    bool viewportEvent(QEvent *e) override;

private:
    // The rows with their tooltips, for the view and screen readers alike:
    // held as texts, or made from functions on demand.
    class RowModel : public QAbstractListModel
    {
    public:
        int rowCount(const QModelIndex &parent = QModelIndex()) const override;
        QVariant data(const QModelIndex &index, int role) const override;
        QString text(int row) const;
        // False where the rows were kept in place without a signal.
        bool replace(QStringList rows, int count, RowText text, RowText tip);
        void tipsChanged();
        using QAbstractListModel::beginInsertRows;
        using QAbstractListModel::endInsertRows;

        QStringList rows; // the texts, when not made on demand
        QStringList tips;
        int lazyCount = 0;
        RowText lazyText, lazyTip;
    };

    void onCurrentChanged(const QModelIndex &current);

    RowModel m_model;
    int m_listIndex = -1;
    bool m_settingFromCode = false;
};

// A drop-down that only lets the user choose.
class ComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit ComboBox(QWidget *parent = nullptr);
    // The chosen entry's text, empty while none is chosen.
    QString text() const { return currentIndex() < 0 ? QString() : currentText(); }
    void addItem(const QString &text)
    {
        QComboBox::addItem(text);
        setCurrentIndex(-1);
    }
signals:
    // Raised when the user picks an entry.
    void click();
};

class Frame : public QGroupBox
{
    Q_OBJECT
public:
    explicit Frame(QWidget *parent = nullptr, const QString &caption = {});
};

// A filled square or an outline rectangle.
class Shape : public QFrame
{
    Q_OBJECT
public:
    explicit Shape(QWidget *parent = nullptr);
    void setFill(std::uint32_t bgr);
    void setOutline();
};

// Shows a stored picture at its natural size.
class ImageBox : public QLabel
{
    Q_OBJECT
public:
    explicit ImageBox(QWidget *parent = nullptr);
    void setPicture(const QPixmap &picture);
};

// ---- message boxes ---------------------------------------------------------

struct MsgBox
{
    enum Icon {
        Information,
        Question,
        Warning,
        Critical
    };
    enum Buttons {
        Ok,
        YesNo,
        Choice
    };
    enum Answer {
        AnswerOk,
        Yes,
        No
    };
    struct Request
    {
        QString title, text;
        Icon icon;
        Buttons buttons;
        QString yesCaption, noCaption; // the two buttons of a Choice
    };
    using Responder = std::function<Answer(const Request &)>;

    static Answer show(QWidget *parent, const QString &title, const QString &text, Icon icon,
                       Buttons buttons = Ok);
    // Two buttons with the caller's captions: the first is the default and
    // answers Yes, the second answers No. Escape or the close box gives the
    // first, so the safe choice must come first.
    static Answer choose(QWidget *parent, const QString &title, const QString &text, Icon icon,
                         const QString &yesCaption, const QString &noCaption);
    // Lets a test answer every message box without a dialog; the previous
    // responder is returned so that a test can restore it.
    static Responder setResponder(Responder responder);
};

// ---- errors and ending -----------------------------------------------------

// Runs an event handler. An error it does not trap is shown in a message box
// that names it, the handler stops there and the program goes on.
void handle(QWidget *window, const std::function<void()> &handler);
// Runs one step under the skip-on-error policy: a failing step is abandoned
// silently. Returns whether it completed.
bool skipOnError(const std::function<void()> &step);
// The Persian text of the report shown for an untrapped error.
QString errorReport(const std::exception &error);
// While one exists, handle() abandons a failing handler without a message
// and counts it: for code that passes through states it knows may fail and
// puts the outcome right itself.
class SilentErrors
{
public:
    SilentErrors();
    ~SilentErrors();
    SilentErrors(const SilentErrors &) = delete;
    SilentErrors &operator=(const SilentErrors &) = delete;
    // Handlers abandoned since this guard was made.
    int count() const;

private:
    int m_start;
};

// Ends the program at once: every window closes and the calling handler stops.
[[noreturn]] void endProgram();
bool programEnded();
// What ending does after the windows are closed (a test replaces quitting).
void setEndHook(std::function<void()> hook);
// Thrown by endProgram to stop the running handler; handle() swallows it.
struct EndProgram
{ };
// Thrown by a formLoad that has told the user why the window cannot open:
// the window is discarded without a further message.
struct LoadRefused
{ };

// Gives every menu of the bar and every item a mnemonic (Alt and a letter):
// the first letter of its caption that no sibling uses yet.
void giveMnemonics(QMenuBar *bar);

// ---- windows ---------------------------------------------------------------

class Form : public QWidget
{
    Q_OBJECT
public:
    explicit Form(QWidget *parent = nullptr);
    ~Form() override;

    void setClientSize(int widthTwips, int heightTwips);
    void setBackColor(std::uint32_t bgr);

    // The window that last became the program's active one.
    static Form *activeForm();

    // Shows this window without blocking; activates it.
    void showModeless();
    // Escape closes the window as its close box does (a secondary window).
    void setClosesOnEscape(bool closes) { m_closesOnEscape = closes; }
    // The button Enter presses while the focus is not on another button.
    void setDefaultButton(QPushButton *button) { m_defaultButton = button; }
    // The controls that take up the difference when the window is opened
    // smaller than designed to fit the screen (lists, a chart); controls
    // below and right of them move with their far edge.
    void setElastic(const QList<QWidget *> &controls);
    // The size the window was designed at (its fixed size).
    QSize designedSize() const { return m_designed.isEmpty() ? size() : m_designed; }
    // Shows this window modal over `opener` and returns after it has closed;
    // then the opener's formActivate runs.
    void showModal(Form *opener);
    void centreOver(QWidget *other);
    // Makes this the program's active window now, running formActivate if it
    // was not, so that what the caller does next is not undone by the
    // activation that follows when the user comes back to this window.
    void takeActivation() { becameActive(); }
    // A menu bar above the client area: the controls keep their places
    // relative to the client area, and the window grows by the bar's height.
    QMenuBar *menuBar();

protected:
    virtual void formLoad() { }
    virtual void formActivate() { }
    // Asked before the window closes by its close box or close(); false keeps
    // it open. Not asked when the program ends.
    virtual bool queryClose() { return true; }
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

signals:
    void closed();

private:
    friend class FormLoader;
    void becameActive();
    void fitToArea();
    void layOutElastic();
    bool m_loaded = false;
    QMenuBar *m_menuBar = nullptr;
    bool m_closesOnEscape = false;
    QPointer<QPushButton> m_defaultButton;
    QList<QPointer<QWidget>> m_elastic;
    QSize m_designed;
    bool m_shrunk = false;
    QList<QPair<QPointer<QWidget>, QRect>> m_designedPlaces;
};

// Creates a window on first show (running its formLoad) and forgets it when
// it closes, so that the next show creates it anew.
class FormLoader
{
public:
    // Runs formLoad on a freshly made window; false when it failed (the error
    // has been reported and the window discarded).
    static bool load(Form *form);
};

template <class T> class FormSlot
{
public:
    T *get() const { return m_form.data(); }
    bool isLoaded() const { return !m_form.isNull(); }
    // Makes and loads the window if it is not there; nullptr when its load failed.
    template <class... Args> T *ensure(Args &&...args)
    {
        if (!m_form) {
            auto *f = new T(std::forward<Args>(args)...);
            if (!FormLoader::load(f))
                return nullptr;
            m_form = f;
        }
        return m_form.data();
    }

private:
    QPointer<T> m_form;
};

// Connects a control's event to a handler run through handle().
template <class Sender, class Signal, class Fn> void on(Sender *sender, Signal signal, QWidget *window, Fn fn)
{
    QObject::connect(sender, signal, window, [window, fn] { handle(window, fn); });
}

// The whole start of a program with one main window: --help and --version
// answered, the application set up, the window of type W loaded and shown,
// the event loop run. Returns the exit status: 1 when the window could not
// load, 0 when it ended the program while loading.
template <class W> int runSingleWindowProgram(int argc, char **argv, const ProgramInfo &info)
{
    if (const std::optional<int> status = handleInfoOptions(commandLineArguments(argc, argv), info))
        return *status;
    FontWarmUp fonts;
    QApplication app(argc, argv);
    const FontWarmUp::Listing listing = fonts.applicationMade();
    setupApplication(app);
    quitAfterFirstWindowIfAsked(app);
    fonts.awaitConfiguration();
    FormSlot<W> first;
    W *form = first.ensure();
    if (!form)
        return programEnded() ? 0 : 1;
    form->showModeless();
    return programEnded() ? 0 : app.exec();
}

} // namespace tk
