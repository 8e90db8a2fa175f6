#pragma once
// What distinguishes the five channel setup dialogs: title, rows, accept
// text, sample rates, and the columns of the channel table with their
// record fields, option lists and the rows on which each list applies.

#include <QString>
#include <span>

struct HwChanSetup;

// The record field a column shows and edits.
enum class SetupField { Chan, On, Range, Input, Cpl, Filter, MicPwr, MicPolVolt, Unit, A, AtV, B, Name };

struct SetupColumn {
    const char* title;
    int width; // pixels
    SetupField field;
    // List columns: the entries, each ending with a tab; the index of an
    // entry is the value stored in the record. Null for the other columns.
    const char* items = nullptr;
    // The rows (0-based) on which items applies; the others take
    // otherItems, or are grey and do not react when that is null.
    int firstRow = 0;
    int lastRow = 23;
    const char* otherItems = nullptr;
    // A wheel step past either end of the list wraps round; otherwise it
    // stops there.
    bool wheelWraps = false;

    bool IsList() const { return items != nullptr; }
    bool IsText() const { return field >= SetupField::Unit; }
    // The list of a row; null when the cell is grey.
    const char* ItemsOfRow(int row) const;
    // The record's field behind a list column and a text column; null for
    // any other field.
    static int* IntField(HwChanSetup& record, SetupField field);
    static QString* TextField(HwChanSetup& record, SetupField field);
};

struct SetupDialogLayout {
    const char* typeName; // the module type it serves
    const char* title;
    int rows;
    const char* acceptText;
    bool fastRates; // "100 kHz" and "200 kHz" as well
    std::span<const SetupColumn> columns;

    // The layout of a module type ("Halvek", "HalvekDC", "Halvek+",
    // "Morsil", "Pendra"); null for any other.
    static const SetupDialogLayout* ForModel(const QString& typeName);
    // Index of the column showing field, or -1.
    int ColumnOf(SetupField field) const;
};
