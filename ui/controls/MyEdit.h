#pragma once

// The program's own input controls, each with an attached caption label:
//   TFEdit  a right-aligned numeric edit showing its value through a display
//           format (",0.00;(,0.00)" by default);
//   TDEdit  a masked date edit (day, month, two-digit year) keeping a date.
// Both move the focus as a data-entry form does: Enter and Down to the next
// control, Up to the previous one. Numbers and dates follow the regional
// settings in force (QLocale()).

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>

#include <memory>
#include <optional>

enum TLabelAlignment { laLeft, laTop };

// The caption label part shared by the two edits. The label is a sibling of
// the edit (it takes the edit's parent whenever the edit gets one), sizes
// itself to its text, has the edit as its buddy (its accelerator focuses the
// edit) and is placed again whenever the caption, the alignment, the gap, the
// edit's geometry, parent or font change. It goes with the edit.
class TEditCaption {
public:
    virtual ~TEditCaption();

    QLabel* label() const { return m_label; }
    QString labelCaption() const;
    void setLabelCaption(const QString& caption);
    TLabelAlignment labelAlignment() const { return m_alignment; }
    void setLabelAlignment(TLabelAlignment alignment);
    // Pixels between label and edit; a negative gap throws std::invalid_argument
    // ("Displayment must be positive."), 0 is allowed.
    int gap() const { return m_gap; }
    void setGap(int gap);
    // Kept with the control's description; no behaviour of its own.
    bool labelCaptionDefault() const { return m_captionDefault; }
    void setLabelCaptionDefault(bool value) { m_captionDefault = value; }

protected:
    explicit TEditCaption(QWidget* edit);
    void placeLabel();
    // Called by the edit after its own handling of every event.
    void followEdit(const QEvent* event);

private:
    QWidget* m_edit;
    QPointer<QLabel> m_label;
    TLabelAlignment m_alignment = laLeft;
    int m_gap = 6;
    bool m_captionDefault = true;
};

// A numeric edit: the text is the value formatted with displayFormat(); on
// leaving, the text is read back (see parseText) and shown formatted again.
// Only digits, "-", "," and "." can be typed, and a second "," or "." is
// refused; Backspace is refused too (Delete and typing over a selection
// erase). An entry that does not read as a number beeps, emits
// entryRejected() and brings the previous value back.
class TFEdit : public QLineEdit, public TEditCaption {
    Q_OBJECT

public:
    explicit TFEdit(QWidget* parent = nullptr);
    ~TFEdit() override;

    double value() const { return m_value; }
    void setValue(double value);
    QString displayFormat() const { return m_format; }
    void setDisplayFormat(const QString& format);

    // Number formats: up to three sections "positive;negative;
    // zero" (the negative one shows the magnitude, without a sign; with one
    // section a minus sign leads), "0" a digit always shown, "#" a digit shown
    // when significant, "." the decimal point, "," anywhere asks for group
    // separators, text in quotes and other characters before or after the
    // digits are copied. An empty format gives the shortest general form.
    // Separators come from `locale`.
    static QString formatFloat(const QString& format, double value, const QLocale& locale = QLocale());
    // The entry rule: negative when the text holds "-" or "("; of the rest
    // only the digits, "," and "." count, each "," and "." being read as the
    // decimal separator. Where the locale's group separator is itself "," or
    // ".", text written in the locale's own number form (as the control shows
    // it) is read as such first. Nothing when the text is not a number.
    static std::optional<double> parseText(const QString& text, const QLocale& locale = QLocale());

Q_SIGNALS:
    void valueChanged(double value);
    // An entry that is not a number was refused on leaving (after the beep).
    void entryRejected();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showValue();
    void acceptEntry();

    double m_value = 0;
    QString m_format = QStringLiteral(",0.00;(,0.00)");
};

// A date edit with an input mask of day, month and two-digit year in the
// order and with the separator of the regional short date format (Russian:
// "__.__.__"). value() is a date and time as a day count from 30.12.1899
// (0: no date). On leaving, the text is read as a date (two-digit years: 00 to
// 49 in this century, 50 to 99 in the last, as the dataset layer reads them);
// a valid date different from the value becomes the value; an impossible or
// incomplete date brings the last valid one back; an empty mask clears the
// value. Text left as it was shown keeps the value as it is, time of day and
// century included. textChanged() is the change event.
class TDEdit : public QLineEdit, public TEditCaption {
    Q_OBJECT

public:
    explicit TDEdit(QWidget* parent = nullptr);
    ~TDEdit() override;

    double value() const { return m_value; }
    // 0 empties the box; any other value shows its date.
    void setValue(double value);

    // The short date form the edit shows, e.g. "dd.MM.yy".
    static QString shortDateFormat(const QLocale& locale = QLocale());
    // The day count of a date (and time) and back.
    static double toValue(const QDateTime& dateTime);
    static double toValue(const QDate& date);
    static QDateTime toDateTime(double value);
    // A date typed in the short form (day and month of one or two digits, the
    // year of two; blanks around the numbers allowed), or
    // an invalid date.
    static QDate parseText(const QString& text, const QLocale& locale = QLocale());

Q_SIGNALS:
    void valueChanged(double value);

protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString textOf(double value) const;
    bool isEmptyMask() const;
    void acceptEntry();

    double m_value = 0;
    QString m_format;
    QChar m_separator;
};
