#include "toolkit.h"

#include "bidi.h"
#include "numbers.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFocusFrame>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QStyleFactory>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTranslator>
#include <QValidator>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <memory>

namespace tk {

// ---- units, colours, fonts -------------------------------------------------

QColor color(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QFont font(double points, bool bold)
{
    QFont f(QString::fromLatin1(kPersianFamily));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(qRound(points * 96.0 / 72.0));
    f.setBold(bold);
    return f;
}

namespace {

// Fusion, with the menu bar reachable by Alt and a focus frame that can be
// seen: two pixels in the palette's highlight colour.
class ProgramStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *ret) const override
    {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        // Only the frame's own margins: other controls measure with them too.
        if ((metric == PM_FocusFrameHMargin || metric == PM_FocusFrameVMargin) && option
            && qobject_cast<const QFocusFrame *>(option->styleObject))
            return 2;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    // A painter starts with the program's direction, not its widget's: text
    // in a left-to-right window is drawn as it was before the translation
    // turned the program's direction.
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        const Qt::LayoutDirection before = painter->layoutDirection();
        painter->setLayoutDirection(option->direction);
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        painter->setLayoutDirection(before);
    }
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const Qt::LayoutDirection before = painter->layoutDirection();
        painter->setLayoutDirection(option->direction);
        drawControlInDirection(element, option, painter, widget);
        painter->setLayoutDirection(before);
    }

private:
    void drawControlInDirection(ControlElement element, const QStyleOption *option, QPainter *painter,
                                const QWidget *widget) const
    {
        if (element == CE_ComboBoxLabel) {
            // A path or a Latin entry in a right-to-left drop-down reads in its own order.
            if (const auto *combo = qstyleoption_cast<const QStyleOptionComboBox *>(option);
                combo && !combo->currentText.isEmpty()) {
                QStyleOptionComboBox isolated(*combo);
                isolated.currentText = common::isolate(combo->currentText);
                QProxyStyle::drawControl(element, &isolated, painter, widget);
                return;
            }
        }
        if (element != CE_FocusFrame) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        painter->save();
        QPen pen(option->palette.color(QPalette::Active, QPalette::Highlight), 2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }
};

// Draws an item's text set off by isolates, so that a file name, a size or a
// date inside a right-to-left view reads in its own order.
class IsolatingDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!option->text.isEmpty())
            option->text = common::isolate(option->text);
    }
};

// Watches the program's dialogs and the focus: Qt's dialogs fit the screen
// and show file names in their own order; the focused control is framed.
class ApplicationWatcher : public QObject
{
public:
    using QObject::QObject;

    void focusChanged(QWidget *now)
    {
        if (!now || now->isWindow() || now->focusPolicy() == Qt::NoFocus) {
            if (m_frame)
                m_frame->setWidget(nullptr);
            return;
        }
        if (!m_frame)
            m_frame = new QFocusFrame(now);
        m_frame->setWidget(now);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (auto *files = qobject_cast<QFileDialog *>(widget))
                isolateFileNames(files);
            if (widget->isWindow() && qobject_cast<QDialog *>(widget))
                fitToScreen(widget);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static void isolateFileNames(QFileDialog *dialog)
    {
        if (dialog->property("kt_isolated").toBool())
            return;
        dialog->setProperty("kt_isolated", true);
        for (QAbstractItemView *view : dialog->findChildren<QAbstractItemView *>()) {
            if (!qobject_cast<QComboBox *>(view->parentWidget()))
                view->setItemDelegate(new IsolatingDelegate(view));
        }
        // Paths and names are typed and read left to right.
        for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
            edit->setLayoutDirection(Qt::LeftToRight);
    }

    QPointer<QFocusFrame> m_frame;
};

} // namespace

void setupApplication(QApplication &app)
{
    // Fusion honours the background colours the windows give their boxes.
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(new ProgramStyle(fusion));
    app.setFont(font(9));
    // Qt's own dialogs and buttons in Persian; this turns the default layout
    // direction right to left, and every Form sets its own left to right.
    loadQtTranslation(app);
    auto *watcher = new ApplicationWatcher(&app);
    app.installEventFilter(watcher);
    QObject::connect(&app, &QApplication::focusChanged, watcher,
                     [watcher](QWidget *, QWidget *now) { watcher->focusChanged(now); });
}

QString webAddress()
{
    return QStringLiteral("www.kardani-tools.ir");
}

void place(QWidget *w, int left, int top, int width, int height)
{
    // The size hint only where it is asked for: a label's lays out its text.
    const QSize hint = width < 0 || height < 0 ? w->sizeHint() : QSize();
    w->setGeometry(px(left), px(top), width < 0 ? hint.width() : px(width),
                   height < 0 ? hint.height() : px(height));
}

bool hasArabicScript(const QString &text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x0600 && u <= 0x06FF) || (u >= 0x0750 && u <= 0x077F) || (u >= 0xFB50 && u <= 0xFDFF)
            || (u >= 0xFE70 && u <= 0xFEFF))
            return true;
    }
    return false;
}

// ---- the screen ------------------------------------------------------------

namespace {
std::optional<QRect> s_area;
} // namespace

QRect availableArea(const QWidget *window)
{
    if (s_area)
        return *s_area;
    const QScreen *screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void setAvailableArea(const std::optional<QRect> &area)
{
    s_area = area;
}

QMargins frameAllowance(const QWidget *window)
{
    const QWindow *handle = window ? window->windowHandle() : nullptr;
    const QMargins known = handle && handle->isVisible() ? handle->frameMargins() : QMargins();
    // A title bar as most desktops draw it, until the window manager tells.
    return known.isNull() ? QMargins(2, 32, 2, 2) : known;
}

namespace {
// Moves a window whose frame reaches outside the area back inside it.
void keepInside(QWidget *window, const QRect &area, const QMargins &frame)
{
    const QRect outer(window->pos(), window->size().grownBy(frame));
    if (area.contains(outer))
        return;
    const int x = std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height()));
    window->move(x, y);
}
} // namespace

void fitToScreen(QWidget *window)
{
    const QRect area = availableArea(window);
    if (area.isEmpty())
        return;
    const QMargins frame = frameAllowance(window);
    const QSize room = area.size().shrunkBy(frame);
    window->setMinimumSize(window->minimumSize().boundedTo(room));
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
    keepInside(window, area, frame);
}

// ---- controls --------------------------------------------------------------

QString captionWords(const QString &caption)
{
    QString words = caption;
    // The caption's colon is layout, not part of what it names.
    words.remove(QLatin1Char(':'));
    return words.simplified();
}

Label::Label(QWidget *parent, const QString &caption) : QLabel(caption, parent)
{
    setTextFormat(Qt::PlainText);
}

void Label::setText(const QString &caption)
{
    QLabel::setText(caption);
    if (m_valueCaption)
        updateAccessibleName();
}

void Label::setValueCaption(QLabel *caption)
{
    m_valueCaption = caption;
    updateAccessibleName();
}

void Label::updateAccessibleName()
{
    // Without a caption the value alone is the name, which QLabel reads by
    // itself while no name is set.
    const QString words = m_valueCaption ? captionWords(m_valueCaption->text()) : QString();
    const QString value = text();
    if (words.isEmpty())
        setAccessibleName(QString());
    else if (value.isEmpty())
        setAccessibleName(words);
    else
        setAccessibleName(words + QStringLiteral(": ") + value);
}

void Label::setForeColor(std::uint32_t bgr)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color(bgr));
    setPalette(p);
}

void setCaptionFor(QLabel *label, QWidget *box)
{
    label->setBuddy(box);
    if (auto *value = qobject_cast<Label *>(box))
        value->setValueCaption(label);
    else
        box->setAccessibleName(captionWords(label->text()));
}

namespace {
// Refuses typing past the limit, but never an edit that shortens the text, so
// that a longer text set by code can still be corrected. A paste that does not
// fit keeps as much of its start as fits, as typing it would.
class TypedLimit : public QValidator
{
public:
    TypedLimit(TextBox *box, int limit) : QValidator(box), m_box(box), m_limit(limit) { }
    State validate(QString &input, int &pos) const override
    {
        if (m_box->assigning())
            return Acceptable;
        const QString &before = m_box->acceptedText();
        const qsizetype allowed = std::max<qsizetype>(m_limit, before.size() - 1);
        if (input.size() <= allowed || input.size() < before.size())
            return Acceptable;
        // The inserted part: what lies between the text's unchanged start and end.
        qsizetype head = 0;
        const qsizetype shorter = std::min(input.size(), before.size());
        while (head < shorter && input.at(head) == before.at(head))
            ++head;
        qsizetype tail = 0;
        while (tail < shorter - head
               && input.at(input.size() - 1 - tail) == before.at(before.size() - 1 - tail))
            ++tail;
        const qsizetype inserted = input.size() - head - tail;
        const qsizetype keep = inserted - (input.size() - allowed);
        if (keep <= 0)
            return Invalid;
        input.remove(head + keep, inserted - keep);
        pos = int(head + keep);
        return Acceptable;
    }

private:
    TextBox *m_box;
    int m_limit;
};
} // namespace

TextBox::TextBox(QWidget *parent) : QLineEdit(parent)
{
    // QLineEdit would cut text set by code at 32767 characters; the typed
    // limit is the validator's.
    setMaxLength(std::numeric_limits<int>::max());
    connect(this, &QLineEdit::textChanged, this, [this](const QString &t) {
        m_acceptedText = t;
        m_assigning = false; // before the handlers run, which may edit the box
        emit change();
    });
    connect(this, &QLineEdit::textEdited, this, [this] { m_userEdited = true; });
}

void TextBox::setText(const QString &text)
{
    if (text == QLineEdit::text()) {
        emit change(); // QLineEdit stays silent when nothing changes
        return;
    }
    m_assigning = true;
    QLineEdit::setText(text);
    m_assigning = false;
}

void TextBox::setTypedLimit(int chars)
{
    m_typedLimit = chars;
    setValidator(chars > 0 ? new TypedLimit(this, chars) : nullptr);
}

void TextBox::setBackColor(std::uint32_t bgr)
{
    m_backColor = bgr;
    QPalette p = palette();
    p.setColor(QPalette::Base, color(bgr));
    setPalette(p);
}

Button::Button(QWidget *parent, const QString &caption) : QPushButton(caption, parent) { }

namespace {
// A row longer than its list is cut with "…" at the list's edge rather than
// widening the list under a horizontal scroll bar; each row is isolated so
// that a signed number or a Latin name reads in its own order.
class RowDelegate : public QStyledItemDelegate
{
public:
    explicit RowDelegate(QListView *view) : QStyledItemDelegate(view), m_view(view) { }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize hint = QStyledItemDelegate::sizeHint(option, index);
        hint.setWidth(std::min(hint.width(), m_view->viewport()->width()));
        return hint;
    }
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cut(option);
        cut.rect = option.rect.intersected(m_view->viewport()->rect());
        QStyledItemDelegate::paint(painter, cut, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
        if (!option->text.isEmpty())
            option->text = common::isolate(option->text);
    }

private:
    QListView *m_view;
};
} // namespace

ListBox::ListBox(QWidget *parent) : QListView(parent)
{
    setModel(&m_model);
    setItemDelegate(new RowDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setLayoutDirection(Qt::LeftToRight);
    // The selection, not the current index: a view gaining focus makes its
    // first row current without selecting it, which is no click.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = selectionModel()->selectedRows();
        onCurrentChanged(rows.isEmpty() ? QModelIndex() : rows.first());
    });
}

int ListBox::RowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : (lazyText ? lazyCount : int(rows.size()));
}

QString ListBox::RowModel::text(int row) const
{
    if (row < 0 || row >= rowCount())
        return QString();
    return lazyText ? lazyText(row) : rows.at(row);
}

QVariant ListBox::RowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    if (role == Qt::ToolTipRole) {
        const QString tip = lazyTip ? lazyTip(index.row()) : tips.value(index.row());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return text(index.row());
    return QVariant();
}

bool ListBox::RowModel::replace(QStringList newRows, int count, RowText text, RowText tip)
{
    // As many rows made on demand as before: the rows stay where they are and
    // the caller redraws them. Any signal would make the view lay out every
    // row again (a list view does even on dataChanged).
    if (text && lazyText && count == lazyCount) {
        tips.clear();
        lazyText = std::move(text);
        lazyTip = std::move(tip);
        return false;
    }
    beginResetModel();
    rows = std::move(newRows);
    tips.clear();
    lazyCount = count;
    lazyText = std::move(text);
    lazyTip = std::move(tip);
    endResetModel();
    return true;
}

void ListBox::RowModel::tipsChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::ToolTipRole});
}

void ListBox::setToolTips(const QStringList &tips)
{
    m_model.lazyTip = {};
    m_model.tips = tips;
    m_model.tipsChanged();
}

void ListBox::addItem(const QString &text)
{
    m_settingFromCode = true;
    if (m_model.lazyText) {
        // Rows made on demand become texts first; the selection stays.
        const int selected = m_listIndex;
        m_model.replace(items(), 0, {}, {});
        if (selected >= 0)
            selectionModel()->setCurrentIndex(m_model.index(selected), QItemSelectionModel::ClearAndSelect);
    }
    const int row = m_model.rowCount();
    m_model.beginInsertRows(QModelIndex(), row, row);
    m_model.rows.append(text);
    m_model.endInsertRows();
    m_settingFromCode = false;
}

void ListBox::setItems(const QStringList &rows)
{
    m_settingFromCode = true;
    m_model.replace(rows, 0, {}, {});
    m_settingFromCode = false;
    m_listIndex = -1;
}

void ListBox::setRows(int count, RowText text, RowText tip)
{
    m_settingFromCode = true;
    const bool reset = text ? m_model.replace({}, std::max(count, 0), std::move(text), std::move(tip))
                            : m_model.replace({}, 0, {}, {});
    if (!reset) {
        // The same rows with new texts: redrawn and told to screen readers
        // as a reset would, but without laying out every row again.
        selectionModel()->clear();
        viewport()->update();
#if QT_CONFIG(accessibility)
        if (QAccessible::isActive() && count > 0) {
            QAccessibleTableModelChangeEvent changed(this, QAccessibleTableModelChangeEvent::DataChanged);
            changed.setFirstRow(0);
            changed.setFirstColumn(0);
            changed.setLastRow(count - 1);
            changed.setLastColumn(0);
            QAccessible::updateAccessibility(&changed);
        }
#endif
    }
    m_settingFromCode = false;
    m_listIndex = -1;
}

void ListBox::clear()
{
    setItems({});
}

int ListBox::count() const
{
    return m_model.rowCount();
}

QString ListBox::itemText(int row) const
{
    return m_model.text(row);
}

QStringList ListBox::items() const
{
    if (!m_model.lazyText)
        return m_model.rows;
    QStringList all;
    all.reserve(count());
    for (int row = 0; row < count(); ++row)
        all.append(m_model.text(row));
    return all;
}

void ListBox::setListIndex(int row)
{
    if (row < 0 || row >= count())
        row = -1;
    if (row == m_listIndex)
        return;
    m_listIndex = row;
    m_settingFromCode = true;
    if (row < 0) {
        selectionModel()->clear();
    } else {
        const QModelIndex idx = m_model.index(row);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
        scrollTo(idx);
    }
    m_settingFromCode = false;
    emit click();
}

void ListBox::onCurrentChanged(const QModelIndex &current)
{
    if (m_settingFromCode)
        return;
    const int row = current.isValid() ? current.row() : -1;
    if (row == m_listIndex)
        return;
    m_listIndex = row;
    emit click();
}

bool ListBox::viewportEvent(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(e);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && !m_model.data(index, Qt::ToolTipRole).isValid()) {
            const QString row = itemText(index.row());
            const int room = viewport()->width() - 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) - 4;
            if (viewport()->fontMetrics().horizontalAdvance(row) > room) {
                QToolTip::showText(help->globalPos(), row, viewport(), visualRect(index));
                return true;
            }
        }
    }
    return QListView::viewportEvent(e);
}

void ListBox::scrollTogether(const QList<ListBox *> &lists)
{
    // The first row they all show; a list laid out later (its rows are
    // placed lazily) takes it up when its scroll range appears.
    auto first = std::make_shared<int>(0);
    for (ListBox *list : lists) {
        // Whole rows per step, so that the same value is the same first row.
        list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        QScrollBar *bar = list->verticalScrollBar();
        QObject::connect(bar, &QScrollBar::valueChanged, list, [lists, first](int value) {
            *first = value;
            for (ListBox *other : lists)
                other->verticalScrollBar()->setValue(value);
        });
        QObject::connect(bar, &QScrollBar::rangeChanged, list, [bar, first] { bar->setValue(*first); });
    }
}

void ListBox::setRightToLeft(bool rtl)
{
    setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
}

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    connect(this, &QComboBox::activated, this, &ComboBox::click);
}

Frame::Frame(QWidget *parent, const QString &caption) : QGroupBox(caption, parent) { }

Shape::Shape(QWidget *parent) : QFrame(parent) { }

void Shape::setFill(std::uint32_t bgr)
{
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, color(bgr));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void Shape::setOutline()
{
    setFrameShape(QFrame::Box);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

ImageBox::ImageBox(QWidget *parent) : QLabel(parent) { }

void ImageBox::setPicture(const QPixmap &picture)
{
    setPixmap(picture);
    resize(picture.size());
}

// ---- message boxes ---------------------------------------------------------

namespace {
MsgBox::Responder &responder()
{
    static MsgBox::Responder r;
    return r;
}
} // namespace

MsgBox::Answer MsgBox::show(QWidget *parent, const QString &title, const QString &text, Icon icon,
                            Buttons buttons)
{
    if (responder())
        return responder()(Request{title, text, icon, buttons, {}, {}});
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case Information: box.setIcon(QMessageBox::Information); break;
    case Question: box.setIcon(QMessageBox::Question); break;
    case Warning: box.setIcon(QMessageBox::Warning); break;
    case Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.setStandardButtons(buttons == YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    if (buttons == YesNo)
        box.setDefaultButton(QMessageBox::No); // an Enter changes nothing
    if (hasArabicScript(title + text))
        box.setLayoutDirection(Qt::RightToLeft);
    const int answer = box.exec();
    if (buttons == Ok)
        return AnswerOk;
    return answer == QMessageBox::Yes ? Yes : No;
}

MsgBox::Answer MsgBox::choose(QWidget *parent, const QString &title, const QString &text, Icon icon,
                              const QString &yesCaption, const QString &noCaption)
{
    if (responder())
        return responder()(Request{title, text, icon, Choice, yesCaption, noCaption});
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(icon == Question       ? QMessageBox::Question
                    : icon == Warning  ? QMessageBox::Warning
                    : icon == Critical ? QMessageBox::Critical
                                       : QMessageBox::Information);
    QPushButton *yes = box.addButton(yesCaption, QMessageBox::AcceptRole);
    box.addButton(noCaption, QMessageBox::DestructiveRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(yes);
    if (hasArabicScript(title + text + yesCaption + noCaption))
        box.setLayoutDirection(Qt::RightToLeft);
    box.exec();
    return box.clickedButton() == yes || !box.clickedButton() ? Yes : No;
}

MsgBox::Responder MsgBox::setResponder(Responder r)
{
    Responder old = std::move(responder());
    responder() = std::move(r);
    return old;
}

// ---- errors and ending -----------------------------------------------------

namespace {
bool s_ended = false;
int s_silentDepth = 0;
int s_silenced = 0;
std::function<void()> &endHook()
{
    static std::function<void()> hook = [] { QCoreApplication::quit(); };
    return hook;
}
Form *s_active = nullptr;
} // namespace

QString errorReport(const std::exception &error)
{
    QString name;
    if (const auto *n = dynamic_cast<const common::NumberError *>(&error))
        name = n->userName();
    else
        name = QString::fromLocal8Bit(error.what());
    return QStringLiteral(u"خطاي زمان اجرا: ") + name;
}

SilentErrors::SilentErrors() : m_start(s_silenced)
{
    ++s_silentDepth;
}

SilentErrors::~SilentErrors()
{
    --s_silentDepth;
}

int SilentErrors::count() const
{
    return s_silenced - m_start;
}

void handle(QWidget *window, const std::function<void()> &handler)
{
    if (s_ended)
        return;
    try {
        handler();
    } catch (const EndProgram &) {
    } catch (const std::exception &e) {
        if (s_silentDepth > 0)
            ++s_silenced;
        else
            MsgBox::show(window, QStringLiteral(u"خطا"), errorReport(e), MsgBox::Critical);
    }
}

bool skipOnError(const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const EndProgram &) {
        throw;
    } catch (const std::exception &) {
        return false;
    }
}

void endProgram()
{
    if (!s_ended) {
        s_ended = true;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (auto *f = qobject_cast<Form *>(w))
                f->close();
            else
                w->hide();
        }
        s_active = nullptr;
        if (endHook())
            endHook()();
    }
    throw EndProgram();
}

bool programEnded()
{
    return s_ended;
}

void setEndHook(std::function<void()> hook)
{
    endHook() = std::move(hook);
    s_ended = false;
}

namespace {
void giveMnemonics(const QList<QAction *> &actions)
{
    QSet<QChar> used;
    for (QAction *a : actions)
        if (const qsizetype at = a->text().indexOf(QLatin1Char('&')); at >= 0 && at + 1 < a->text().size())
            used.insert(a->text().at(at + 1).toCaseFolded());
    for (QAction *a : actions) {
        if (a->menu())
            giveMnemonics(a->menu()->actions());
        QString text = a->text();
        if (a->isSeparator() || text.contains(QLatin1Char('&')))
            continue;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i).toCaseFolded();
            if (text.at(i).isLetter() && !used.contains(c)) {
                used.insert(c);
                a->setText(text.insert(i, QLatin1Char('&')));
                break;
            }
        }
    }
}
} // namespace

void giveMnemonics(QMenuBar *bar)
{
    giveMnemonics(bar->actions());
}

// ---- windows ---------------------------------------------------------------

Form::Form(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    // The windows are laid out left to right by their positions, whatever
    // direction Qt's Persian translation gives its own dialogs.
    setLayoutDirection(Qt::LeftToRight);
}

Form::~Form()
{
    if (s_active == this)
        s_active = nullptr;
}

void Form::setClientSize(int widthTwips, int heightTwips)
{
    setFixedSize(px(widthTwips), px(heightTwips));
}

void Form::setBackColor(std::uint32_t bgr)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color(bgr));
    setPalette(p);
}

Form *Form::activeForm()
{
    return s_active;
}

void Form::becameActive()
{
    if (s_active == this || s_ended)
        return;
    s_active = this;
    handle(this, [this] { formActivate(); });
}

bool Form::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate && isVisible())
        becameActive();
    return QWidget::event(e);
}

void Form::closeEvent(QCloseEvent *e)
{
    if (!s_ended) {
        bool keep = false;
        handle(this, [&] { keep = !queryClose(); });
        if (keep) {
            e->ignore();
            return;
        }
    }
    if (s_active == this)
        s_active = nullptr;
    e->accept();
    emit closed();
}

void Form::setElastic(const QList<QWidget *> &controls)
{
    m_elastic.clear();
    for (QWidget *w : controls)
        m_elastic.append(w);
}

void Form::showEvent(QShowEvent *e)
{
    if (!e->spontaneous())
        fitToArea();
    QWidget::showEvent(e);
}

void Form::fitToArea()
{
    const QRect area = availableArea(this);
    if (area.isEmpty())
        return;
    const QMargins frame = frameAllowance(this);
    const QSize room = area.size().shrunkBy(frame);
    if (m_designed.isEmpty() && minimumSize() == maximumSize())
        m_designed = size();
    if (m_designed.isEmpty()) {
        fitToScreen(this); // laid out by Qt
        return;
    }
    if (size() == m_designed) {
        // Where every control stands at the designed size, for laying out a smaller one.
        m_designedPlaces.clear();
        for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!w->isWindow() && !qobject_cast<QFocusFrame *>(w)) // the frame follows its control
                m_designedPlaces.append({w, w->geometry()});
    }
    QRect band;
    for (const auto &[w, place] : std::as_const(m_designedPlaces))
        if (w && m_elastic.contains(w))
            band |= place;
    // The elastic controls keep a few rows at least.
    constexpr int kLeast = 100;
    const QSize least =
        m_designed - QSize(std::max(0, band.width() - kLeast), std::max(0, band.height() - kLeast));
    const QSize target = m_designed.boundedTo(room).expandedTo(least);
    if (target == m_designed) {
        setFixedSize(m_designed);
    } else {
        setMinimumSize(least);
        setMaximumSize(m_designed);
        resize(target);
    }
    keepInside(this, area, frame);
}

void Form::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    // Only a window that is or was smaller than designed: at the designed size
    // the controls stand where the window's own code put them.
    if (!m_designed.isEmpty() && !m_designedPlaces.isEmpty() && (size() != m_designed || m_shrunk)) {
        layOutElastic();
        m_shrunk = size() != m_designed;
    }
}

namespace {
// A coordinate of the designed window in one `shrink` pixels smaller: what
// lies before the band stays, what lies after it moves by the whole
// difference, and the band itself is scaled.
int shrunk(int p, int from, int to, int shrink)
{
    if (shrink <= 0 || p <= from)
        return p;
    if (p >= to)
        return p - shrink;
    return from + int(std::lround(double(p - from) * (to - from - shrink) / (to - from)));
}
} // namespace

void Form::layOutElastic()
{
    QRect band;
    for (const auto &[w, place] : std::as_const(m_designedPlaces))
        if (w && m_elastic.contains(w))
            band |= place;
    if (band.isEmpty())
        return;
    const int dx = m_designed.width() - width(), dy = m_designed.height() - height();
    for (const auto &[w, place] : std::as_const(m_designedPlaces)) {
        if (!w)
            continue;
        const int left = shrunk(place.left(), band.left(), band.right() + 1, dx);
        const int right = shrunk(place.right() + 1, band.left(), band.right() + 1, dx);
        const int top = shrunk(place.top(), band.top(), band.bottom() + 1, dy);
        const int bottom = shrunk(place.bottom() + 1, band.top(), band.bottom() + 1, dy);
        w->setGeometry(left, top, right - left, bottom - top);
    }
}

void Form::keyPressEvent(QKeyEvent *e)
{
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        if (e->key() == Qt::Key_Escape && m_closesOnEscape) {
            close(); // as the close box: queryClose still asks
            return;
        }
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            QPushButton *button = qobject_cast<QPushButton *>(focusWidget());
            if (!button)
                button = m_defaultButton;
            if (button && button->isEnabled() && button->isVisible()) {
                button->click();
                return;
            }
        }
    }
    QWidget::keyPressEvent(e);
}

void Form::showModeless()
{
    show();
    raise();
    activateWindow();
    // Some platforms (offscreen among them) may not report the activation.
    becameActive();
}

void Form::showModal(Form *opener)
{
    QPointer<Form> self(this);
    QPointer<Form> back(opener);
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    connect(this, &Form::closed, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    show();
    raise();
    activateWindow();
    becameActive();
    if (self && self->isVisible() && !s_ended)
        loop.exec();
    if (s_ended)
        throw EndProgram();
    // The platform may already have reported the opener's activation.
    if (back)
        back->becameActive();
}

void Form::centreOver(QWidget *other)
{
    const QRect area =
        other ? other->frameGeometry() : (screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768));
    move(area.center() - QPoint(width() / 2, height() / 2));
}

QMenuBar *Form::menuBar()
{
    if (!m_menuBar) {
        const QList<QWidget *> controls = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        m_menuBar = new QMenuBar(this);
        m_menuBar->setNativeMenuBar(false);
        m_menuBar->setLayoutDirection(Qt::RightToLeft); // Persian menus read right to left
        // Its height before any menu is added: an empty bar hints no height.
        const int h = qMax(m_menuBar->sizeHint().height(), m_menuBar->fontMetrics().height() + 10);
        m_menuBar->setGeometry(0, 0, width(), h);
        for (QWidget *w : controls)
            w->move(w->x(), w->y() + h);
        setFixedSize(width(), height() + h);
        // F10 opens the first menu, as Alt does.
        auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
        connect(f10, &QShortcut::activated, m_menuBar, [bar = m_menuBar] {
            const QList<QAction *> menus = bar->actions();
            if (!menus.isEmpty())
                bar->setActiveAction(menus.first());
        });
    }
    return m_menuBar;
}

bool FormLoader::load(Form *form)
{
    bool ok = false;
    try {
        form->formLoad();
        ok = true;
    } catch (const EndProgram &) {
    } catch (const LoadRefused &) {
    } catch (const std::exception &e) {
        MsgBox::show(nullptr, QStringLiteral(u"خطا"), errorReport(e), MsgBox::Critical);
    }
    if (!ok) {
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        delete form;
        return false;
    }
    form->m_loaded = true;
    return true;
}

} // namespace tk
