#pragma once
// The application object of the whole-program benchmark: times each
// outermost event delivery on the user-interface thread (timers, posted
// events, paints, process signals), which is how long the thread is busy in
// one go and so how long a user's click or a frame may wait.

#include <QApplication>

#include <string>
#include <vector>

class TimedApplication : public QApplication {
public:
    TimedApplication(int& argc, char** argv);

    // Deliveries that end while measuring are kept; starting clears them.
    void StartMeasuring();
    void StopMeasuring();
    // Milliseconds of each outermost delivery kept, in order.
    const std::vector<double>& DispatchMs() const { return m_dispatchMs; }
    // What the deliveries over 16 ms delivered to whom: "12.3 ms Timer to
    // CGraphWnd", so that a long one can be traced.
    const std::vector<std::string>& SlowDeliveries() const { return m_slow; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    // Deliveries in progress: an event sent while another is delivered
    // belongs to the outer one.
    int m_depth = 0;
    bool m_measuring = false;
    std::vector<double> m_dispatchMs;
    std::vector<std::string> m_slow;
};
