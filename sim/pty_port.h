// The master side of a pseudo-terminal, standing in for the controller's end
// of the serial cable. The simulator never keeps the slave open: whether
// someone (the tool under Wine) has the port open is read from the master.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace kavro_sim {

class PtyPort {
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Creates the pair in raw mode. On failure returns false and says why.
    bool Create(std::string& error);

    const std::string& SlavePath() const { return slavePath_; }
    bool Connected() const { return master_ >= 0; }
    int MasterFd() const { return master_; }
    // Readable when someone opens or closes the slave: the master itself
    // gives no event when the slave is opened.
    int WatchFd() const { return watch_; }
    void DrainWatch();

    // True while some process has the slave open (no hang-up on the master).
    bool SlaveOpen() const;

    // Reads what the slave side wrote. Returns the byte count, 0 when
    // nothing is waiting or nobody has the slave open.
    std::size_t Read(char* buffer, std::size_t size);

    // Queues bytes for the slave and writes as much as the pty takes now.
    void Write(const std::string& bytes);
    void Flush();
    bool HasOutput() const { return !out_.empty(); }

    // Bytes nobody picked up are lost on a real line once the port is
    // closed; a pty would keep them for the next opener instead.
    void DiscardUndelivered();

    // The pulled cable: closes the master, the slave path disappears.
    void Hangup();

private:
    int master_ = -1;
    int watch_ = -1;
    std::string slavePath_;
    std::string out_;
};

}  // namespace kavro_sim
