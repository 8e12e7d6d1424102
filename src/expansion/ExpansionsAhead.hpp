#pragma once
// The composites' lines of the family file, made ahead on a second thread while
// the run writes its other steps (see note [expansions ahead]).
#include "base/SecondThread.hpp"
#include "expansion/ExtendedAssign.hpp"
#include "register/Register.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Makes the line of one composite, appending it to out (without its line feed).
using MakeLine = void (*)(NumberedLine line, ExpansionContext& context, std::string& out);
// Reads ahead what making a composite's line will need (prepareTerm).
using PrepareLine = void (*)(const NumberedLine& line, ExpansionContext& context);

class ExpansionsAhead {
  public:
    // Starts the second thread, before the register's first line is read,
    // unless one thread is wanted (secondThread); it reads a regular register
    // ahead of the run (note [reading ahead]), and, when the register has a
    // composite, makes lines ahead. Otherwise every line is made where it is needed.
    // While a line is made, the next composite of its chunk is prepared.
    ExpansionsAhead(const RegisterText& text, MakeLine make, PrepareLine prepare = nullptr);
    ExpansionsAhead(const ExpansionsAhead&) = delete;
    ExpansionsAhead& operator=(const ExpansionsAhead&) = delete;
    // Stops the second thread and waits for it.
    ~ExpansionsAhead();

    // Step 1 has read the register to its end (or as far as it can be read).
    void registerRead();
    // The look-up index the second thread made; nullptr when it made none.
    std::shared_ptr<const RegisterIndex> index();
    // The line of the composite on line `number`, when it was made ahead (valid
    // until the next call); the failure met making it is thrown here. Nothing:
    // the caller makes it. Composites are asked for in register order. While
    // the second thread is still making the chunk asked for, the run makes
    // later chunks here (note [chunks in turn]).
    std::optional<std::string_view> take(std::uint64_t number);

    // The storage held for lines made ahead, chunks' and spare.
    std::size_t heldBytes();

  private:
    // What a chunk's lines are made into (note [spare storage]).
    struct Made {
        std::string text;                 // the lines made, one after another
        std::vector<std::uint64_t> lines; // the register line of each
        std::vector<std::size_t> ends;    // where each ends in text
        bool held() const {
            return text.capacity() > std::string().capacity() || lines.capacity() > 0 ||
                   ends.capacity() > 0;
        }
        void swap(Made& o) noexcept {
            text.swap(o.text);
            lines.swap(o.lines);
            ends.swap(o.ends);
        }
    };
    struct Chunk;
    void work();
    void makeChunk(Chunk& chunk, std::uint64_t id, ExpansionContext& context);
    void leave(std::unique_lock<std::mutex>& lock);
    // Chunks before `chunk` are the run's: nobody takes them from now on.
    void passTo(std::uint64_t chunk);
    bool roomAhead(std::uint64_t id) const;
    Chunk& claim(std::uint64_t id);
    void finish(Chunk& k);   // made: its bytes count as ahead
    void giveBack(Chunk& k); // its storage to the spares, its bytes no longer ahead
    // Makes the next chunk nobody has taken, past the one the run is in; false
    // when there is none or no room for it.
    bool makeNextAhead(std::unique_lock<std::mutex>& lock);

    RegisterText text_;
    MakeLine make_;
    PrepareLine prepare_;
    std::uint64_t lineCount_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stop_{false};
    bool started_ = false;      // the run has said whether the register is read ahead
    bool readsAhead_ = false;   // it is
    bool registerRead_ = false; // step 1 is done
    bool indexDone_ = false;
    std::shared_ptr<const RegisterIndex> index_;
    std::vector<Chunk> chunks_;   // a ring: chunk id % size
    std::uint64_t mainChunk_ = 0; // chunks before it are the run's (passTo)
    std::uint64_t nextChunk_ = 0; // the first chunk nobody has taken, never before mainChunk_
    std::unique_ptr<ExpansionContext> runContext_; // the run's, for chunks it makes ahead
    std::vector<Made> spare_;                      // storage of chunks left, for the next
    std::size_t bytesAhead_ = 0;                   // in chunks made and not yet left
    std::uint64_t entered_ = UINT64_MAX;           // the chunk the run is in
    Chunk* current_ = nullptr;                     // that chunk, when made ahead
    std::jthread thread_;
};
