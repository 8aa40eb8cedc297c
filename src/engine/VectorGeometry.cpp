#include "engine/VectorGeometry.h"

#include <cmath>

namespace velmora {

namespace {
constexpr double kTinyDeterminant = 1e-40;
}

TMatrix identityMatrix()
{
    return TMatrix{};
}

double vectorLength(const TVector& v)
{
    const double x = v.X, y = v.Y, z = v.Z;
    return std::sqrt(x * x + y * y + z * z);
}

TVector vectorNormalize(const TVector& v)
{
    const double len = vectorLength(v);
    if (len == 0) return {0, 0, 0, 0};
    return {float(v.X / len), float(v.Y / len), float(v.Z / len), 0};
}

TVector vectorCrossProduct(const TVector& a, const TVector& b)
{
    const double ax = a.X, ay = a.Y, az = a.Z, bx = b.X, by = b.Y, bz = b.Z;
    return {float(ay * bz - az * by), float(az * bx - ax * bz), float(ax * by - ay * bx), 0};
}

double vectorDotProduct(const TVector& a, const TVector& b)
{
    return double(a.X) * b.X + double(a.Y) * b.Y + double(a.Z) * b.Z;
}

TVector vectorScale(const TVector& v, float f)
{
    return {float(double(v.X) * f), float(double(v.Y) * f), float(double(v.Z) * f), v.W};
}

TVector vectorAdd(const TVector& a, const TVector& b)
{
    return {float(double(a.X) + b.X), float(double(a.Y) + b.Y), float(double(a.Z) + b.Z), a.W};
}

TVector vectorSubtract(const TVector& a, const TVector& b)
{
    return {float(double(a.X) - b.X), float(double(a.Y) - b.Y), float(double(a.Z) - b.Z), a.W};
}

TVector vectorTransform(const TVector& v, const TMatrix& m)
{
    TVector r;
    for (int c = 0; c < 4; ++c) {
        double s = 0;
        for (int k = 0; k < 4; ++k) s += double(v[k]) * m.m[k][c];
        r[c] = float(s);
    }
    return r;
}

TMatrix matrixMultiply(const TMatrix& a, const TMatrix& b)
{
    TMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += double(a.m[i][k]) * b.m[k][j];
            r.m[i][j] = float(s);
        }
    return r;
}

namespace {

double det3(double a1, double a2, double a3, double b1, double b2, double b3, double c1, double c2, double c3)
{
    return a1 * (b2 * c3 - b3 * c2) - b1 * (a2 * c3 - a3 * c2) + c1 * (a2 * b3 - a3 * b2);
}

// Minor of element (r, c): determinant of the 3x3 matrix without row r and column c.
double minor3(const TMatrix& m, int r, int c)
{
    double v[9];
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == r) continue;
        for (int j = 0; j < 4; ++j) {
            if (j == c) continue;
            v[n++] = m.m[i][j];
        }
    }
    // det3 takes columns; the determinant of the transpose is the same.
    return det3(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
}

} // namespace

double matrixDeterminant(const TMatrix& m)
{
    double d = 0;
    for (int c = 0; c < 4; ++c) {
        const double cof = ((c & 1) ? -1.0 : 1.0) * minor3(m, 0, c);
        d += double(m.m[0][c]) * cof;
    }
    return d;
}

TMatrix matrixInvert(const TMatrix& m)
{
    const double det = matrixDeterminant(m);
    if (std::fabs(det) < kTinyDeterminant) return identityMatrix();
    TMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            // Adjugate is the transposed cofactor matrix.
            const double cof = (((i + j) & 1) ? -1.0 : 1.0) * minor3(m, j, i);
            r.m[i][j] = float(cof / det);
        }
    return r;
}

TMatrix matrixInvertRotationScale(const TMatrix& m)
{
    const double q = double(m.m[0][0]) * m.m[0][0] + double(m.m[0][1]) * m.m[0][1] + double(m.m[0][2]) * m.m[0][2];
    if (std::fabs(q) < kTinyDeterminant) return identityMatrix();
    TMatrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = float(m.m[j][i] / q);
    for (int j = 0; j < 3; ++j) {
        double s = 0;
        for (int k = 0; k < 3; ++k) s += double(m.m[3][k]) * r.m[k][j];
        r.m[3][j] = float(-s);
    }
    r.m[0][3] = r.m[1][3] = r.m[2][3] = 0;
    r.m[3][3] = 1;
    return r;
}

TMatrix rotationMatrix(const TVector& axis, double angle)
{
    const TVector a = vectorNormalize(axis);
    const double x = a.X, y = a.Y, z = a.Z;
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    // Row-vector form: the transpose of the usual column-vector matrix.
    TMatrix r;
    r.m[0][0] = float(t * x * x + c);
    r.m[0][1] = float(t * x * y + s * z);
    r.m[0][2] = float(t * x * z - s * y);
    r.m[1][0] = float(t * x * y - s * z);
    r.m[1][1] = float(t * y * y + c);
    r.m[1][2] = float(t * y * z + s * x);
    r.m[2][0] = float(t * x * z + s * y);
    r.m[2][1] = float(t * y * z - s * x);
    r.m[2][2] = float(t * z * z + c);
    return r;
}

} // namespace velmora
