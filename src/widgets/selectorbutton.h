#pragma once
// The owner-drawn value button of every panel: a caption on the left (the
// label area) and the current setting on the right (the value area). It
// holds a list of items (text and key) or a numeric value on a grid
// (offset + index x step). A left click opens the drum chooser under the
// button, each wheel unit steps the value. Every accepted change reaches the
// owner as exactly one clicked() signal; the owner then reads CurrentText,
// CurrentKey or NumericValue. UI thread only.

#include <QPushButton>
#include <QStringList>
#include <vector>

class TextArchive;

class CSelectorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CSelectorButton(QWidget* parent = nullptr);
    explicit CSelectorButton(const QString& caption, QWidget* parent = nullptr);

    // Appends an item and leaves numeric mode. No redraw.
    void AddItem(const QString& text, int key);
    // Selects the first item with exactly that text, else the first whose
    // caption it is, else item 0.
    void SelectText(const QString& text);
    // What the value area and the drum show for the item with that text
    // ("dBu" for "dbuV"); the item's text stays what CurrentText gives and
    // settings lines store. Nothing when no item has the text.
    void SetItemCaption(const QString& text, const QString& caption);
    // The shown text of an item: its caption, else its text.
    QString ItemCaption(int index) const;
    // Selects the first item with that key; nothing when none has it. With
    // notify the owner gets one clicked().
    void SelectKey(int key, bool notify);
    // "Error" and -1 when the current index is outside the items.
    QString CurrentText() const;
    int CurrentKey() const;
    // Numeric mode on the grid offset + index x step, with offset the grid
    // point nearest to value (halves rounded up) and index 0; the value
    // itself is kept unrounded.
    void SetNumeric(double step, double value);
    double NumericValue() const { return m_value; }
    // On a list of numbers (ParseWithPrefix) sorted either way: the first
    // item, in ascending order, that is about equal to x or above it. Needs
    // two items; nothing changes when no item qualifies.
    void SelectAtLeast(double x);
    // The item nearest to x; the earlier one on ties.
    void SelectNearest(double x);
    // Removes every item; the current index stays.
    void ClearItems();
    void SetWrap(bool wrap) { m_wrap = wrap; }
    void SetLabelWidth(int pixels);
    // A disabled selector drops clicks and wheel steps and draws its value in
    // the drum dark colour; the widget itself stays enabled.
    void SetEnabled(bool enabled);
    bool IsSelectorEnabled() const { return m_enabled; }

    // The settings line: key + "$" + current item text when there are items,
    // else key + "#offset,step,index" ("%.9g,%.9g,%d"); ended by "\r\n".
    QString SerializeLine(const QString& key) const;
    // Applies the rest of a settings line after the key's colon: "$text"
    // selects the text (and with notify sends the owner one clicked()),
    // "#offset,step,index" sets the grid (the index clamped into the items
    // when there are items); anything else, a "#" line without three
    // numbers, or one whose index lies beyond ±1000000, is ignored.
    void ApplySettingsLine(const QString& rest, bool notify);
    // Either of the two through a settings archive: a storing archive gets
    // the line for the key (keyOrRest is the key, "YDiv1:"); a loading one
    // has been read by the owner, who matched the key and passes the rest
    // of the line after the colon as keyOrRest.
    void SerializeLine(TextArchive& archive, const QString& keyOrRest, bool notify);

    // The value text of numeric mode: "%0.3g%s" with the prefix n, u, m, k
    // or M ("50m", "1.5k", "5").
    static QString NumericText(double value);

    int Count() const { return int(m_items.size()); }
    int CurrentIndex() const { return m_current; }
    bool IsNumeric() const { return m_numeric; }
    double Offset() const { return m_offset; }
    double Step() const { return m_step; }
    int LabelWidth() const { return m_labelWidth; }
    const QStringList& Items() const { return m_items; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The press handling every press goes through (mouse, wheel step, or a
    // click the button sends itself). True: let the press through to the
    // standard button behaviour, which notifies the owner.
    bool HandlePress();
    // A click the button sends itself: through the press handling, and when
    // let through one clicked().
    void SendClick();
    void ChooseWithDrum();
    void StepOnce();
    QString ValueText() const;
    QString LineText(const QString& key) const;

    QStringList m_items;
    QStringList m_captions; // per item; empty: the item's text
    std::vector<int> m_keys;
    int m_current = 0;
    bool m_numeric = false;
    double m_offset = 0.0;
    double m_step = 0.0;
    double m_value = 0.0;
    int m_direction = 1;
    bool m_stepPending = false;
    bool m_passNext = false;
    bool m_wrap = false;
    bool m_enabled = true;
    int m_labelWidth = 32;
};
