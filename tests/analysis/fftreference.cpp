#include "fftreference.h"

#include <cmath>
#include <utility>

void StraightforwardFft(float* re, float* im, int n)
{
    int j = 0;
    for (int i = 1; i < n; ++i) {
        int k = n;
        do {
            k /= 2;
        } while (k + j > n - 1);
        j = j % k + k;
        if (j > i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (int mmax = 1; mmax < n; mmax *= 2) {
        const int step = 2 * mmax;
        for (int m = 1; m <= mmax; ++m) {
            const double theta = (1 - m) * 3.1415926535 / mmax;
            const double wr = std::cos(theta);
            const double wi = std::sin(theta);
            for (int a = m - 1; a < n; a += step) {
                const int b = a + mmax;
                float tr = re[b], ti = im[b];
                if (m != 1) {
                    tr = static_cast<float>(re[b] * wr - im[b] * wi);
                    ti = static_cast<float>(re[b] * wi + im[b] * wr);
                }
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] = re[a] + tr;
                im[a] = im[a] + ti;
            }
        }
    }
}

void SinglePrecisionExactTwiddleFft(float* re, float* im, int n)
{
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int len = 2; len <= n; len *= 2) {
        for (int m = 0; m < len / 2; ++m) {
            const float wr = static_cast<float>(cosl(-2 * pi * m / len));
            const float wi = static_cast<float>(sinl(-2 * pi * m / len));
            for (int a = m; a < n; a += len) {
                const int b = a + len / 2;
                const float tr = re[b] * wr - im[b] * wi;
                const float ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] = re[a] + tr;
                im[a] = im[a] + ti;
            }
        }
    }
}

namespace {

using Cld = std::complex<long double>;
constexpr long double kPi = 3.141592653589793238462643383279502884L;

std::vector<Cld> DirectSum(const float* re, const float* im, int n)
{
    std::vector<Cld> twiddle(n);
    for (int i = 0; i < n; ++i)
        twiddle[i] = Cld(cosl(-2 * kPi * i / n), sinl(-2 * kPi * i / n));
    std::vector<Cld> out(n);
    for (int k = 0; k < n; ++k) {
        Cld sum = 0;
        for (int t = 0; t < n; ++t)
            sum += Cld(re[t], im[t]) * twiddle[(static_cast<long long>(k) * t) % n];
        out[k] = sum;
    }
    return out;
}

std::vector<Cld> LongDoubleFft(const float* re, const float* im, int n)
{
    std::vector<Cld> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = Cld(re[i], im[i]);
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (int len = 2; len <= n; len *= 2) {
        for (int m = 0; m < len / 2; ++m) {
            const Cld w(cosl(-2 * kPi * m / len), sinl(-2 * kPi * m / len));
            for (int a = m; a < n; a += len) {
                const Cld t = x[a + len / 2] * w;
                x[a + len / 2] = x[a] - t;
                x[a] += t;
            }
        }
    }
    return x;
}

} // namespace

std::vector<std::complex<long double>> LongDoubleDft(const float* re, const float* im, int n)
{
    return n <= 4096 ? DirectSum(re, im, n) : LongDoubleFft(re, im, n);
}
