// Costs of reading and building models from damaged or unusual files: Metasequoia documents
// holding one very long line (digits, signs, or a long number before coordinates), and a
// model with tens of thousands of materials built into parts.
// Run: build/bench/world/ql_model_bench
#include "BenchGl.h"

#include "graphics/world/Model.h"

#include <algorithm>
#include <chrono>
#include <string>

using namespace QlGraphics;

namespace {

double seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Best of a few runs, in milliseconds.
template <class F>
double bestOf(int runs, F&& f)
{
    double best = 1e30;
    for (int k = 0; k < runs; ++k) {
        const double t0 = seconds();
        f();
        best = std::min(best, seconds() - t0);
    }
    return best * 1e3;
}

std::string withVertexLine(const std::string& line)
{
    return "Metasequoia Document\nObject \"a\" {\n vertex 3 {\n 0.0 0.0 0.0\n 0.0 1.0 0.0\n" + line +
           "\n }\n face 1 {\n 3 V(0 1 2)\n }\n}\n";
}

void parseLine(const char* label, const std::string& line)
{
    const std::string doc = withVertexLine(line);
    bool ok = false;
    const double ms = bestOf(3, [&] {
        ok = ModelLoader::parse(reinterpret_cast<const std::uint8_t*>(doc.data()), doc.size()) != nullptr;
    });
    std::printf("  %-40s %9.2f ms (%s)\n", label, ms, ok ? "model" : "no model");
}

}  // namespace

int main()
{
    std::printf("Parsing a document with one long vertex line\n");
    parseLine("200,000 digits", std::string(200000, '7'));
    parseLine("1,000,000 digits", std::string(1000000, '7'));
    parseLine("1,000,000 minus signs", std::string(1000000, '-'));
    parseLine("1,000,000 digits, then 1.0 2.0 3.0", std::string(1000000, '7') + " 1.0 2.0 3.0");
    std::string ordinary;
    for (int k = 0; k < 20000; ++k)
        ordinary += "0.1234 -5.6789 10.0000 ";
    parseLine("20,000 ordinary triples on one line", ordinary);

    QlBench::Gl gl;
    if (!gl.open(64, 64)) {
        std::fprintf(stderr, "no OpenGL context: model building skipped\n");
        return 0;
    }
    std::printf("Building a model of 21,845 triangles\n");
    for (int materials : {1, 20000, 80000}) {
        std::string doc = "Metasequoia Document\nMaterial " + std::to_string(materials) + " {\n";
        for (int m = 0; m < materials; ++m)
            doc += "\"m\" col(1.000 1.000 1.000 1.000) dif(1.000)\n";
        doc += "}\nObject \"a\" {\n vertex 3 {\n 0.0 0.0 0.0\n 0.0 1.0 0.0\n 1.0 0.0 0.0\n }\n face 21845 {\n";
        for (int k = 0; k < 21845; ++k)
            doc += "  3 V(0 1 2) M(" + std::to_string(k % materials) + ")\n";
        doc += " }\n}\n";
        auto data = ModelLoader::parse(reinterpret_cast<const std::uint8_t*>(doc.data()), doc.size());
        if (!data) {
            std::fprintf(stderr, "model not read\n");
            return 1;
        }
        std::uint32_t parts = 0;
        const double ms = bestOf(3, [&] {
            auto model = createModel(*gl.engine, *data, u"", nullptr);
            parts = model ? model->getPartCount() : 0;
        });
        std::printf("  %6d materials: createModel %9.2f ms (%u parts)\n", materials, ms, parts);
    }
    return 0;
}
