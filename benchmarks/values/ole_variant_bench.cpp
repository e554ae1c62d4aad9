// Prints the cost of the value operations that run once per column value of every row: making
// values, copying and moving them, the NUMBER column conversion (double to DECIMAL) and the texts
// the MySQL writers ask for. Figures are CPU time of this process, so that other work on the
// machine does not count. Run: build-x/benchmarks/values/values_bench [rows]
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ole_date.h"
#include "ole_variant.h"

namespace {

double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <class F>
void measure(const char* name, long count, F&& f) {
    const double start = cpu_seconds();
    size_t sink = 0;
    for (long i = 0; i < count; ++i) sink += f(i);
    const double seconds = cpu_seconds() - start;
    std::printf("%-40s %8.1f ns/op  %10.0f ops/s  (%zu)\n", name, seconds * 1e9 / count,
                count / seconds, sink % 10);
}

}  // namespace

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 2000000;
    std::printf("ole_variant: %zu bytes\n", sizeof(ole_variant));

    measure("construct VT_R8", n, [](long i) {
        ole_variant v(static_cast<double>(i) * 0.25);
        return static_cast<size_t>(v.vartype());
    });
    measure("construct short VT_BSTR", n, [](long i) {
        ole_variant v(u"abc");
        return static_cast<size_t>(v.bstr().size() + static_cast<size_t>(i & 1));
    });
    const ole_variant text(u"a text of some forty characters in a row");
    measure("copy 40-unit VT_BSTR", n, [&](long) {
        ole_variant v(text);
        return v.bstr().size();
    });
    measure("move 40-unit VT_BSTR", n, [&](long) {
        ole_variant a(text);
        ole_variant b(std::move(a));
        return b.bstr().size();
    });
    measure("VT_R8 -> VT_DECIMAL", n, [](long i) {
        ole_variant v(static_cast<double>(i) / 100.0 + 12.5);
        v.change_type(VT_DECIMAL);
        return static_cast<size_t>(v.decimal().scale);
    });
    ole_decimal d;
    ole_var_dec_from_str("-12345678901234.56", d);
    const ole_variant dec(d);
    measure("VT_DECIMAL to_string", n, [&](long) { return dec.to_string().size(); });
    measure("VT_DECIMAL to_wstring", n, [&](long) { return dec.to_wstring().size(); });
    measure("VT_R8 to_string (%.15e)", n,
            [](long i) { return ole_variant(static_cast<double>(i) * 1.1).to_string().size(); });
    measure("VT_I8 to_wstring", n, [](long i) {
        return ole_variant(static_cast<long long>(i) * 1000003).to_wstring().size();
    });
    std::string buffer;
    measure("VT_I4 append_string", n, [&](long i) {
        buffer.clear();
        ole_variant(static_cast<int>(i)).append_string(buffer);
        return buffer.size();
    });
    ole_systemtime t;
    t.year = 2004;
    t.month = 5;
    t.day = 6;
    t.hour = 7;
    measure("construct VT_DATE", n, [&](long i) {
        t.second = static_cast<uint16_t>(i % 60);
        ole_variant v(t);
        return static_cast<size_t>(v.date() > 0);
    });
    const ole_variant date(t);
    measure("VT_DATE to_wstring", n, [&](long) { return date.to_wstring().size(); });
    measure("ole_date parse + print (canonical)", n, [](long) {
        return ole_date(std::string_view("2004-05-06 07:08:09")).to_string().size();
    });
    std::vector<uint8_t> blob(4000, 0xAB);
    const ole_variant binary(blob);
    measure("4000-byte array to_string", n / 20, [&](long) { return binary.to_string().size(); });
    return 0;
}
