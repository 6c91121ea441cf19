// The work of an unlock after decryption, at vault sizes people have, and request decoding at the
// size limit of a message.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/wipe.h"
#include "json/serialize.h"
#include "json/wipe.h"
#include "protocol/request.h"
#include "vault/entries.h"
#include "vault/payload.h"
#include "vault_writer/entries_json.h"
#include "vault_writer/payload.h"

namespace {

using namespace quarn;

// decode_vault_payload, build_entries_data and the reply text, as handle_unlock and the writer
// of the reply do them.
void BM_PayloadToReplyText(benchmark::State& state) {
  const auto entries = vault_writer::synthetic_entries(static_cast<std::size_t>(state.range(0)));
  const auto plaintext = vault_writer::encode_payload(entries);
  for (auto _ : state) {
    auto payload = vault::decode_vault_payload(plaintext);
    if (!payload) state.SkipWithError("did not decode");
    const std::string text =
        json::to_compact_json(vault::build_entries_data(std::move(payload).value()));
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plaintext.size()));
}
BENCHMARK(BM_PayloadToReplyText)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_DecodePayloadOnly(benchmark::State& state) {
  const auto plaintext = vault_writer::encode_payload(
      vault_writer::synthetic_entries(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(vault::decode_vault_payload(plaintext));
}
BENCHMARK(BM_DecodePayloadOnly)->Arg(50000)->Unit(benchmark::kMillisecond);

// What an unlock of `count` entries releases at its end: the file bytes, the decrypted payload, the
// reply tree and a reply text at the browsers' limit; with the second argument 1, each is
// overwritten first, as the host does. The difference of the two is the price of the wiping. The
// set-up of each round is not timed.
void BM_ReleaseUnlockBuffers(benchmark::State& state) {
  const auto entries = vault_writer::synthetic_entries(static_cast<std::size_t>(state.range(0)));
  const auto plaintext = vault_writer::encode_payload(entries);
  const bool wiped = state.range(1) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto file = std::make_unique<Bytes>(plaintext);
    auto opened = std::make_unique<Bytes>(plaintext);
    auto reply = std::make_unique<json::Value>(
        vault::build_entries_data(std::move(vault::decode_vault_payload(plaintext)).value()));
    auto text = std::make_unique<std::string>(1048576, 'x');
    state.ResumeTiming();
    if (wiped) {
      wipe_and_release(*file);
      wipe_and_release(*opened);
      json::wipe_and_release(*reply);
      wipe_and_release(*text);
    }
    file.reset();
    opened.reset();
    reply.reset();
    text.reset();
  }
}
BENCHMARK(BM_ReleaseUnlockBuffers)
    ->Args({50000, 0})
    ->Args({50000, 1})
    ->ArgNames({"entries", "wiped"})
    ->Unit(benchmark::kMillisecond);

void BM_ParseRequest(benchmark::State& state, const std::string& body) {
  const ByteView bytes = bytes_of(body);
  for (auto _ : state) benchmark::DoNotOptimize(protocol::parse_request(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

const std::string kLongPassword =
    R"({"cmd":"unlock","path":"/v","password":")" + std::string(1048576 - 41, 'x') + "\"}";
const std::string kNestedArrays =
    std::string(127, '[') + std::string(127, ']') + std::string(1048576 - 254, ' ');
std::string many_members() {
  std::string body = R"({"cmd":"ping")";
  for (int i = 0; body.size() < 1048000; ++i)
    body += ",\"k" + std::to_string(i) + "\":[1,2.5,\"s\"]";
  return body + "}";
}
const std::string kManyMembers = many_members();

BENCHMARK_CAPTURE(BM_ParseRequest, long_password_1MiB, kLongPassword)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseRequest, nested_then_blank_1MiB, kNestedArrays)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseRequest, many_members_1MiB, kManyMembers)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
