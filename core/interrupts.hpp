#pragma once

// The user's wish to stop a run (Ctrl-C, say), as the system the run is in
// delivers it. A watched interrupt stops the run between blocks, at the next
// fetch of input, and leaves a valid WAV file of what was decoded; the source
// of the input is what notices it there. Unwatched, an interrupt keeps its
// usual effect.
class interrupts {
public:
    interrupts() = default;
    interrupts(const interrupts&) = delete;
    interrupts& operator=(const interrupts&) = delete;
    virtual ~interrupts() = default;

    // From the start of the input stage until both files are closed.
    virtual void begin_watch() = 0;
    virtual void end_watch() = 0;
    // Whether an interrupt came while watched, seen by a fetch or not.
    [[nodiscard]] virtual bool received() const = 0;
};

// For runs inside another program (tests, fuzz targets, the page): the host
// owns the process's signals, so there is nothing to watch and no interrupt
// ever comes.
class no_interrupts final : public interrupts {
public:
    void begin_watch() override {}
    void end_watch() override {}
    [[nodiscard]] bool received() const override { return false; }
};

// Watches for as long as it lives, so that no way out of a run leaves the
// watch on.
class interrupt_watch {
public:
    explicit interrupt_watch(interrupts& watched) : watched_{watched} { watched_.begin_watch(); }
    interrupt_watch(const interrupt_watch&) = delete;
    interrupt_watch& operator=(const interrupt_watch&) = delete;
    ~interrupt_watch() { watched_.end_watch(); }

private:
    interrupts& watched_;
};
