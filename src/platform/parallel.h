#pragma once
// Work split into contiguous chunks over the cores.
#include <algorithm>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace kavro {

// Calls body(from, to) for contiguous chunks covering [0, count), on up to
// `threads` threads (0: one a core); the calling thread takes the first chunk,
// and a chunk whose thread cannot start is done by the caller too. What a chunk
// throws is thrown here once every chunk has ended.
template <typename Body>
void ForEachChunk(size_t count, unsigned threads, Body body) {
    if (count == 0) return;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    const size_t chunks = std::min<size_t>(threads, count);
    const size_t chunk = (count + chunks - 1) / chunks;
    std::vector<std::exception_ptr> failures(chunks);
    auto run = [&](size_t c) {
        try {
            body(c * chunk, std::min(count, (c + 1) * chunk));
        } catch (...) {
            failures[c] = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    std::vector<size_t> left;
    pool.reserve(chunks);
    left.reserve(chunks);
    for (size_t c = 1; c < chunks && c * chunk < count; ++c) {
        try {
            pool.emplace_back(run, c);
        } catch (const std::system_error&) {
            left.push_back(c);
        }
    }
    run(0);
    for (size_t c : left) run(c);
    for (auto& t : pool) t.join();
    for (const auto& f : failures)
        if (f) std::rethrow_exception(f);
}

}  // namespace kavro
