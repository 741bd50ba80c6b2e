#pragma once
// The exact Currency value every layer passes on; no arithmetic, rounding or formatting here.
#include <QMetaType>
#include <QtGlobal>

#include <compare>

// A Currency value: an exact count of ten-thousandths, as the engine stores it.
// Arithmetic is left to the engine; this type only carries the value without rounding.
class cCurrency {
public:
    static constexpr qint64 kScale = 10000;

    constexpr cCurrency() = default;
    static constexpr cCurrency FromUnits(qint64 units) { return cCurrency(units); }

    constexpr qint64 Units() const { return m_units; }
    double ToDouble() const { return double(m_units) / double(kScale); }

    friend constexpr bool operator==(cCurrency a, cCurrency b) = default;
    friend constexpr auto operator<=>(cCurrency a, cCurrency b) = default;

private:
    constexpr explicit cCurrency(qint64 units) : m_units(units) {}
    qint64 m_units = 0;
};

Q_DECLARE_METATYPE(cCurrency)
