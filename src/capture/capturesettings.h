#pragma once
// What the capture engine takes from the first page's time panel on every
// tick: the trigger, its level band and the record's length and position.

struct CaptureSettings {
    enum Trigger { TriggerNone = 0, TriggerAuto = 1, TriggerLevel = 2 };
    enum Slope { SlopeFalling = 0, SlopeRising = 1, SlopeWindow = 2 };

    int trigger = TriggerNone;
    int source = 0;              // channel index the trigger watches
    int slope = SlopeRising;
    double level = 0.0;          // middle of the level band ("Level" mode)
    double halfWindow = 0.0;     // half the band's width
    double timePerDivision = 0.0; // seconds; a record is ten divisions
    int triggerPercent = 0;      // share of the record before the trigger, 0 … 100

    bool operator==(const CaptureSettings&) const = default;
};
