#include "analysis/windowtable.h"

void WindowTable::Prepare(WindowType type, int n)
{
    if (n < 0)
        n = 0;
    if (type == m_type && n == Size() && (n == 0 || m_amplitudeFactor != 0.0))
        return;
    m_type = type;
    m_values.resize(n);
    for (int i = 0; i < n; ++i)
        m_values[i] = static_cast<float>(WindowValue(type, i, n));
    m_amplitudeFactor = n > 0 ? ::AmplitudeFactor(type, n) : 0.0;
}
