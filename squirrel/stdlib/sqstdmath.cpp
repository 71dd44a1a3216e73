// The math library: C runtime maths on 32-bit floats and integers.
#include "sqstdmath.h"

#include "sqstdinternal.h"

#include <cmath>
#include <cstdlib>

namespace {

SQFloat arg(HSQUIRRELVM v, SQInteger idx)
{
    SQFloat f = 0;
    sq_getfloat(v, idx, &f);
    return f;
}

template <double (*F)(double)> SQInteger unary(HSQUIRRELVM v)
{
    sq_pushfloat(v, SQFloat(F(double(arg(v, 2)))));
    return 1;
}

template <double (*F)(double, double)> SQInteger binary(HSQUIRRELVM v)
{
    sq_pushfloat(v, SQFloat(F(double(arg(v, 2)), double(arg(v, 3)))));
    return 1;
}

double dsqrt(double x) { return std::sqrt(x); }
double dsin(double x) { return std::sin(x); }
double dcos(double x) { return std::cos(x); }
double dtan(double x) { return std::tan(x); }
double dasin(double x) { return std::asin(x); }
double dacos(double x) { return std::acos(x); }
double datan(double x) { return std::atan(x); }
double dlog(double x) { return std::log(x); }
double dlog10(double x) { return std::log10(x); }
double dexp(double x) { return std::exp(x); }
double dfloor(double x) { return std::floor(x); }
double dceil(double x) { return std::ceil(x); }
double dfabs(double x) { return std::fabs(x); }
double datan2(double y, double x) { return std::atan2(y, x); }
double dpow(double x, double y) { return std::pow(x, y); }

SQInteger math_abs(HSQUIRRELVM v)
{
    SQInteger n = 0;
    sq_getinteger(v, 2, &n);
    // computed unsigned so that the most negative integer wraps instead of
    // overflowing
    uint32_t u = n < 0 ? 0u - uint32_t(n) : uint32_t(n);
    sq_pushinteger(v, SQInteger(u));
    return 1;
}

SQInteger math_srand(HSQUIRRELVM v)
{
    SQInteger seed = 0;
    sq_getinteger(v, 2, &seed);
    std::srand(unsigned(seed));
    return 0;
}

SQInteger math_rand(HSQUIRRELVM v)
{
    sq_pushinteger(v, SQInteger(std::rand()));
    return 1;
}

const SQRegFunction mathFuncs[] = {
    {u"sqrt", unary<dsqrt>, 2, u".n"},
    {u"sin", unary<dsin>, 2, u".n"},
    {u"cos", unary<dcos>, 2, u".n"},
    {u"asin", unary<dasin>, 2, u".n"},
    {u"acos", unary<dacos>, 2, u".n"},
    {u"log", unary<dlog>, 2, u".n"},
    {u"log10", unary<dlog10>, 2, u".n"},
    {u"tan", unary<dtan>, 2, u".n"},
    {u"atan", unary<datan>, 2, u".n"},
    {u"atan2", binary<datan2>, 3, u".nn"},
    {u"pow", binary<dpow>, 3, u".nn"},
    {u"floor", unary<dfloor>, 2, u".n"},
    {u"ceil", unary<dceil>, 2, u".n"},
    {u"exp", unary<dexp>, 2, u".n"},
    {u"srand", math_srand, 2, u".n"},
    {u"rand", math_rand, 1, nullptr},
    {u"fabs", unary<dfabs>, 2, u".n"},
    {u"abs", math_abs, 2, u".n"},
    {nullptr, nullptr, 0, nullptr}};

} // namespace

SQRESULT sqstd_register_mathlib(HSQUIRRELVM v)
{
    if (sq_gettype(v, -1) != OT_TABLE) return sq_throwerror(v, u"table expected");
    sqstd::registerFunctions(v, mathFuncs, false);
    sq_pushstring(v, u"RAND_MAX", -1);
    sq_pushinteger(v, RAND_MAX);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, u"PI", -1);
    sq_pushfloat(v, SQFloat(3.14159265358979323846));
    sq_newslot(v, -3, SQFalse);
    return SQ_OK;
}
