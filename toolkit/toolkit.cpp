#include "toolkit.h"

#include "numbers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QValidator>

#include <algorithm>
#include <limits>

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

void setupApplication(QApplication &app)
{
    // Fusion honours the background colours the windows give their boxes.
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setFont(font(9));
}

QString webAddress()
{
    return QStringLiteral("www.kardani-tools.ir");
}

void place(QWidget *w, int left, int top, int width, int height)
{
    const QSize hint = w->sizeHint();
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

ListBox::ListBox(QWidget *parent) : QListView(parent)
{
    setModel(&m_model);
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

void ListBox::RowModel::replace(QStringList newRows, int count, RowText text, RowText tip)
{
    beginResetModel();
    rows = std::move(newRows);
    tips.clear();
    lazyCount = count;
    lazyText = std::move(text);
    lazyTip = std::move(tip);
    endResetModel();
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
    if (text)
        m_model.replace({}, std::max(count, 0), std::move(text), std::move(tip));
    else
        m_model.replace({}, 0, {}, {});
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

// ---- windows ---------------------------------------------------------------

Form::Form(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
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
