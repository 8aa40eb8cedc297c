#pragma once
// Vectors and 4x4 matrices of the scene engine.
//
// Matrices are stored row by row and points are row vectors multiplied on the
// left (p' = p x M): rows 0..2 are an object's X, Y, Z axes and row 3 its
// origin. This is exactly the memory layout glLoadMatrixf takes, so a matrix
// can be handed to GL as `&m.m[0][0]`. Components are single precision;
// intermediate sums are done in double.

#include <array>

namespace velmora {

struct TVector {
    float X = 0, Y = 0, Z = 0, W = 0;

    float& operator[](int i) { return (&X)[i]; }
    float operator[](int i) const { return (&X)[i]; }
    bool operator==(const TVector&) const = default;
};

// Keeps its components contiguous so (&X)[i] is valid.
static_assert(sizeof(TVector) == 4 * sizeof(float));

struct TMatrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    TVector row(int i) const { return {m[i][0], m[i][1], m[i][2], m[i][3]}; }
    void setRow(int i, const TVector& v)
    {
        m[i][0] = v.X;
        m[i][1] = v.Y;
        m[i][2] = v.Z;
        m[i][3] = v.W;
    }
    const float* data() const { return &m[0][0]; }
    bool operator==(const TMatrix&) const = default;
};

constexpr TVector vectorMake(float x, float y, float z, float w = 0)
{
    return {x, y, z, w};
}
constexpr TVector pointMake(float x, float y, float z)
{
    return {x, y, z, 1};
}

TMatrix identityMatrix();

// Length and normalisation use X, Y, Z only; a normalised vector has W = 0.
double vectorLength(const TVector& v);
TVector vectorNormalize(const TVector& v);                      // a null vector stays null
TVector vectorCrossProduct(const TVector& a, const TVector& b); // W = 0
double vectorDotProduct(const TVector& a, const TVector& b);    // X, Y, Z only
TVector vectorScale(const TVector& v, float f);                 // X, Y, Z; W kept
TVector vectorAdd(const TVector& a, const TVector& b);          // X, Y, Z; W of a
TVector vectorSubtract(const TVector& a, const TVector& b);     // X, Y, Z; W of a

// Row vector times matrix, all four components.
TVector vectorTransform(const TVector& v, const TMatrix& m);
// a x b: first apply a, then b.
TMatrix matrixMultiply(const TMatrix& a, const TMatrix& b);

double matrixDeterminant(const TMatrix& m);
// General inverse (adjugate over determinant); a determinant whose absolute
// value is below 1e-40 gives the identity.
TMatrix matrixInvert(const TMatrix& m);
// Inverse of a rotation with uniform scale and translation: transposed 3x3
// part divided by the squared length of row 0, origin moved accordingly.
// A squared scale below 1e-40 gives the identity.
TMatrix matrixInvertRotationScale(const TMatrix& m);

// Rotation by `angle` radians about `axis` (right-hand rule) for row vectors.
TMatrix rotationMatrix(const TVector& axis, double angle);

} // namespace velmora
