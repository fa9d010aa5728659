// Reading and writing social-network-shaped JSON, beside RapidJSON and nlohmann::json on the same bytes.
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "SocialDocument.h"
#include "json/QNJsonParser.h"
#include "json/QNJsonWriter.h"

namespace {

const std::string& document(std::int64_t kilobytes) {
    static const std::string small = grinsley::bench::socialDocument(100 * 1024);
    static const std::string large = grinsley::bench::socialDocument(1024 * 1024);
    return kilobytes <= 100 ? small : large;
}

void readGrinsley(benchmark::State& state) {
    const std::string& text = document(state.range(0));
    grinsley::QNJsonParser parser;
    for (auto _ : state) {
        auto value = parser.objectWithString(text);
        if (!value)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

void readRapidJson(benchmark::State& state) {
    const std::string& text = document(state.range(0));
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.data(), text.size());
        if (d.HasParseError())
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

void readNlohmann(benchmark::State& state) {
    const std::string& text = document(state.range(0));
    for (auto _ : state) {
        auto value = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

void writeGrinsley(benchmark::State& state) {
    const std::string& text = document(state.range(0));
    grinsley::QNJsonParser parser;
    const auto value = parser.objectWithString(text);
    grinsley::QNJsonWriter writer;
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto out = writer.stringWithObject(*value);
        bytes = out->size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

void writeRapidJson(benchmark::State& state) {
    const std::string& text = document(state.range(0));
    rapidjson::Document d;
    d.Parse(text.data(), text.size());
    std::size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

void writeNlohmann(benchmark::State& state) {
    const auto value = nlohmann::json::parse(document(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto out = value.dump();
        bytes = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

} // namespace

BENCHMARK(readGrinsley)->Name("json/read/grinsley")->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(readRapidJson)->Name("json/read/rapidjson")->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(readNlohmann)->Name("json/read/nlohmann")->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(writeGrinsley)->Name("json/write/grinsley")->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(writeRapidJson)->Name("json/write/rapidjson")->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(writeNlohmann)->Name("json/write/nlohmann")->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);
