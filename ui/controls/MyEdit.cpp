#include "ui/controls/MyEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>

#include <cmath>
#include <functional>
#include <stdexcept>

// ============================================================ TEditCaption

TEditCaption::TEditCaption(QWidget* edit)
    : m_edit(edit)
    , m_label(new QLabel(edit->parentWidget())) {
    m_label->setBuddy(edit);
    m_label->setVisible(false);
}

TEditCaption::~TEditCaption() {
    // A label left behind would caption nothing: it goes with the edit even
    // when its parent stays.
    delete m_label.data();
}

QString TEditCaption::labelCaption() const {
    return m_label ? m_label->text() : QString();
}

void TEditCaption::setLabelCaption(const QString& caption) {
    if (!m_label || m_label->text() == caption)
        return;
    m_label->setText(caption);
    placeLabel();
}

void TEditCaption::setLabelAlignment(TLabelAlignment alignment) {
    if (m_alignment == alignment)
        return;
    m_alignment = alignment;
    placeLabel();
}

void TEditCaption::setGap(int gap) {
    if (gap < 0)
        throw std::invalid_argument("Displayment must be positive.");
    if (m_gap == gap)
        return;
    m_gap = gap;
    placeLabel();
}

void TEditCaption::placeLabel() {
    if (!m_label)
        return;
    QWidget* parent = m_edit->parentWidget();
    if (m_label->parentWidget() != parent) {
        m_label->setParent(parent);
        m_label->setBuddy(m_edit);
    }
    m_label->adjustSize();
    const QRect r = m_edit->geometry();
    const QSize s = m_label->size();
    if (m_alignment == laLeft)
        m_label->move(r.left() - m_gap - s.width(), r.top() + (r.height() - s.height()) / 2);
    else
        m_label->move(r.left(), r.top() - m_gap - s.height());
    m_label->setVisible(parent && m_edit->isVisibleTo(parent));
}

void TEditCaption::followEdit(const QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::ParentChange:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        placeLabel();
        break;
    default:
        break;
    }
}

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Enter and Down move to the next control, Up to the previous one. True when
// the key was one of them (and is used up).
bool moveFocusByKey(QKeyEvent* event, const std::function<bool(bool)>& step) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        step(true);
        break;
    case Qt::Key_Up:
        step(false);
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

bool isEditingShortcut(const QKeyEvent* event) {
    for (QKeySequence::StandardKey key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                          QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll})
        if (event->matches(key))
            return true;
    return false;
}

} // namespace

// ================================================================= TFEdit

TFEdit::TFEdit(QWidget* parent)
    : QLineEdit(parent)
    , TEditCaption(this) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    resize(90, 25);
    showValue();
}

TFEdit::~TFEdit() = default;

void TFEdit::setValue(double value) {
    if (m_value == value)
        return;
    m_value = value;
    showValue();
    Q_EMIT valueChanged(m_value);
}

void TFEdit::setDisplayFormat(const QString& format) {
    if (m_format == format)
        return;
    m_format = format;
    showValue();
}

void TFEdit::showValue() {
    setText(formatFloat(m_format, m_value));
}

namespace {

struct NumberSection {
    QString prefix;
    QString suffix;
    int integerDigits = 0; // "0" before the point
    int minDecimals = 0;   // "0" after the point
    int maxDecimals = 0;   // "0" and "#" after the point
    bool groups = false;
};

QStringList splitSections(const QString& format) {
    QStringList sections;
    QString current;
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            current += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            current += c;
        } else if (c == u';') {
            sections << current;
            current.clear();
        } else {
            current += c;
        }
    }
    sections << current;
    return sections;
}

NumberSection parseSection(const QString& section) {
    NumberSection s;
    bool inDigits = false;
    bool afterDigits = false;
    bool afterPoint = false;
    QChar quote;
    for (QChar c : section) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                (afterDigits ? s.suffix : s.prefix) += c;
            continue;
        }
        const bool placeholder = c == u'0' || c == u'#' || c == u'.' || c == u',';
        if (placeholder && !afterDigits) {
            inDigits = true;
            if (c == u'.') {
                afterPoint = true;
            } else if (c == u',') {
                s.groups = true;
            } else if (afterPoint) {
                ++s.maxDecimals;
                if (c == u'0')
                    s.minDecimals = s.maxDecimals;
            } else if (c == u'0') {
                ++s.integerDigits;
            }
            continue;
        }
        if (inDigits)
            afterDigits = true;
        if (c == u'"' || c == u'\'')
            quote = c;
        else
            (afterDigits ? s.suffix : s.prefix) += c;
    }
    return s;
}

QString formatMagnitude(double magnitude, const NumberSection& s, const QLocale& locale) {
    QString digits = QString::number(magnitude, 'f', s.maxDecimals);
    QString integer = digits;
    QString fraction;
    const int point = int(digits.indexOf(u'.'));
    if (point >= 0) {
        integer = digits.left(point);
        fraction = digits.mid(point + 1);
    }
    while (fraction.size() > s.minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (integer == QLatin1String("0") && s.integerDigits == 0)
        integer.clear();
    while (integer.size() < s.integerDigits)
        integer.prepend(u'0');
    if (s.groups) {
        const QString separator = locale.groupSeparator();
        for (int at = int(integer.size()) - 3; at > 0; at -= 3)
            integer.insert(at, separator);
    }
    return fraction.isEmpty() ? integer : integer + locale.decimalPoint() + fraction;
}

} // namespace

QString TFEdit::formatFloat(const QString& format, double value, const QLocale& locale) {
    if (format.isEmpty() || !std::isfinite(value)) {
        QLocale plain = locale;
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        return plain.toString(value, 'g', 15);
    }
    const QStringList sections = splitSections(format);
    auto usable = [&](int i) {
        return i < sections.size() && !sections[i].isEmpty();
    };

    // A value that rounds to nothing is zero: no sign, the zero section.
    const NumberSection first = parseSection(sections[0]);
    bool zero = true;
    for (QChar c : QString::number(std::fabs(value), 'f', first.maxDecimals))
        if (c != u'0' && c != u'.')
            zero = false;
    int chosen = 0;
    bool minus = false;
    if (zero) {
        chosen = usable(2) ? 2 : 0;
    } else if (value < 0) {
        if (usable(1))
            chosen = 1;
        else
            minus = true;
    }
    const NumberSection s = chosen == 0 ? first : parseSection(sections[chosen]);
    const QString number = formatMagnitude(zero ? 0.0 : std::fabs(value), s, locale);
    return (minus ? locale.negativeSign() : QString()) + s.prefix + number + s.suffix;
}

std::optional<double> TFEdit::parseText(const QString& text, const QLocale& locale) {
    const bool negative = text.contains(u'-') || text.contains(u'(');
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    bool ok = false;

    if (group == QLatin1String(",") || group == QLatin1String(".")) {
        // Where "," or "." groups digits, the control's own text must read back.
        QString own = text;
        own.remove(u'-').remove(u'(').remove(u')');
        own = own.trimmed();
        bool plain = !own.isEmpty();
        for (QChar c : own)
            if (!isAsciiDigit(c) && c != u',' && c != u'.')
                plain = false;
        if (plain) {
            const double number = locale.toDouble(own, &ok);
            if (ok)
                return negative ? -number : number;
        }
    }

    QString kept;
    for (QChar c : text) {
        if (isAsciiDigit(c))
            kept += c;
        else if (c == u',' || c == u'.')
            kept += decimal;
    }
    if (kept.startsWith(decimal))
        kept.prepend(u'0');
    if (kept.endsWith(decimal))
        kept += u'0';
    QLocale reader = locale;
    reader.setNumberOptions(QLocale::RejectGroupSeparator);
    const double number = reader.toDouble(kept, &ok);
    if (!ok)
        return std::nullopt;
    return negative ? -number : number;
}

void TFEdit::acceptEntry() {
    if (const std::optional<double> number = parseText(text())) {
        setValue(*number);
    } else {
        QApplication::beep();
        Q_EMIT entryRejected();
    }
    showValue();
}

bool TFEdit::event(QEvent* event) {
    const bool result = QLineEdit::event(event);
    followEdit(event);
    return result;
}

void TFEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    selectAll();
}

void TFEdit::focusOutEvent(QFocusEvent* event) {
    // Another window or a context menu taking the focus is not leaving the control.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        acceptEntry();
    QLineEdit::focusOutEvent(event);
}

void TFEdit::keyPressEvent(QKeyEvent* event) {
    if (moveFocusByKey(event, [this](bool next) { return focusNextPrevChild(next); }))
        return;
    if (event->key() == Qt::Key_Backspace) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete || isEditingShortcut(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString typed = event->text();
    if (typed.size() == 1 && typed.at(0).isPrint()) {
        const QChar c = typed.at(0);
        const bool separator = c == u',' || c == u'.';
        const bool allowed = isAsciiDigit(c) || c == u'-' || separator;
        if (!allowed || (separator && (text().contains(u',') || text().contains(u'.')))) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

// ================================================================= TDEdit

namespace {

const QDate kDayZero(1899, 12, 30);

// Two-digit years as the dataset layer reads them: 00..49 this century, 50..99 the last.
int fullYear(int twoDigits) {
    return twoDigits < 50 ? 2000 + twoDigits : 1900 + twoDigits;
}

} // namespace

QString TDEdit::shortDateFormat(const QLocale& locale) {
    // The order and separator of the regional short format, each part two digits.
    const QString regional = locale.dateFormat(QLocale::ShortFormat);
    QString order;
    QChar separator;
    for (QChar c : regional) {
        if (c == u'd' || c == u'M' || c == u'y') {
            if (!order.endsWith(c))
                order += c;
        } else if (separator.isNull() && !c.isLetter() && !c.isSpace()) {
            separator = c;
        }
    }
    if (order.size() != 3 || !order.contains(u'd') || !order.contains(u'M') || !order.contains(u'y'))
        order = QStringLiteral("dMy");
    if (separator.isNull())
        separator = u'.';
    QString format;
    for (QChar part : order) {
        if (!format.isEmpty())
            format += separator;
        format += QString(2, part);
    }
    return format;
}

double TDEdit::toValue(const QDate& date) {
    return date.isValid() ? double(kDayZero.daysTo(date)) : 0.0;
}

double TDEdit::toValue(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return 0.0;
    const double days = double(kDayZero.daysTo(dateTime.date()));
    const double fraction = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime TDEdit::toDateTime(double value) {
    const double days = std::trunc(value);
    const double fraction = std::fabs(value - days);
    const QDate date = kDayZero.addDays(qint64(days));
    const int msecs = std::min(86399999, int(std::llround(fraction * 86400000.0)));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(msecs));
}

QDate TDEdit::parseText(const QString& text, const QLocale& locale) {
    const QString format = shortDateFormat(locale);
    const QChar separator = format.at(2);
    const QStringList parts = text.split(separator);
    if (parts.size() != 3)
        return QDate();
    int day = 0, month = 0, year = 0;
    for (int i = 0; i < 3; ++i) {
        QString part = parts[i];
        part.remove(u'_');
        part = part.trimmed();
        const bool yearPart = format.at(i * 3) == u'y';
        if (part.isEmpty() || part.size() > 2 || (yearPart && part.size() != 2))
            return QDate();
        for (QChar c : part)
            if (!isAsciiDigit(c))
                return QDate();
        const int number = part.toInt();
        switch (format.at(i * 3).unicode()) {
        case u'd':
            day = number;
            break;
        case u'M':
            month = number;
            break;
        default:
            year = fullYear(number);
            break;
        }
    }
    return QDate(year, month, day);
}

TDEdit::TDEdit(QWidget* parent)
    : QLineEdit(parent)
    , TEditCaption(this)
    , m_format(shortDateFormat())
    , m_separator(m_format.at(2)) {
    // Day and month may leave their first digit blank; the year takes two.
    static const QString maskChars = QStringLiteral("AaNnXx90Dd#HhBb><!\\[]{}");
    const QString separator =
        maskChars.contains(m_separator) ? QStringLiteral("\\") + m_separator : QString(m_separator);
    QString mask;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            mask += separator;
        mask += m_format.at(i * 3) == u'y' ? QStringLiteral("99") : QStringLiteral("09");
    }
    setInputMask(mask + QStringLiteral(";_"));
    resize(90, height());
}

TDEdit::~TDEdit() = default;

QString TDEdit::textOf(double value) const {
    if (value == 0)
        return QString();
    return toDateTime(value).date().toString(m_format);
}

void TDEdit::setValue(double value) {
    if (m_value == value)
        return;
    m_value = value;
    // An empty value shows the empty mask: the day-zero date would read back
    // as a real date (30.12.99) the next time the edit is left.
    setText(textOf(m_value));
    Q_EMIT valueChanged(m_value);
}

bool TDEdit::isEmptyMask() const {
    for (QChar c : text())
        if (c != m_separator && c != u'_' && !c.isSpace())
            return false;
    return true;
}

void TDEdit::acceptEntry() {
    // Text left as it was shown keeps the value (its time of day, and a year
    // outside the two-digit window).
    if (m_value != 0 && text() == textOf(m_value))
        return;
    const QDate date = parseText(text());
    if (date.isValid()) {
        const double entered = toValue(date);
        if (entered != m_value)
            setValue(entered);
        setText(textOf(m_value));
        return;
    }
    if (isEmptyMask() && m_value != 0)
        setValue(0);
    setText(textOf(m_value));
}

bool TDEdit::event(QEvent* event) {
    const bool result = QLineEdit::event(event);
    followEdit(event);
    return result;
}

void TDEdit::focusOutEvent(QFocusEvent* event) {
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        acceptEntry();
    QLineEdit::focusOutEvent(event);
}

void TDEdit::keyPressEvent(QKeyEvent* event) {
    if (moveFocusByKey(event, [this](bool next) { return focusNextPrevChild(next); }))
        return;
    QLineEdit::keyPressEvent(event);
}
