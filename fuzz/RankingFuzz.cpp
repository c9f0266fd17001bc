// What the ranking server sends -> the client's reply reader. A scripted peer
// accepts the connection and delivers the input (in chunks of a size the
// first byte picks), then closes; the client has asked for every kind of
// answer, so each reply finds the state it can be taken in. Time is virtual:
// the waits cost nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzSupport.h"
#include "network/WindowsSocket.h"
#include "platform/Clock.h"
#include "platform/ScriptedNet.h"
#include "records/GameInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FakeClock* clock = [] {
        auto* made = new FakeClock();
        Clock::setInstance(made);
        return made;
    }();
    (void)clock;
    static GameInfo* records = new GameInfo();
    if (size < 1) return 0;
    net::ScriptedNet peer;
    net::Net::setInstance(&peer);
    peer.setAnswer(0x7F000001, net::ScriptedNet::Answer::kAccept);
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    peer.deliverChunks(bytes, std::size_t{data[0]} + 1);
    peer.deliverClose();
    {
        WindowsSocket socket(records, 512);
        socket.configure("127.0.0.1", 6545);
        socket.enqueue(NetworkRequest(4, {1, 2, 0, 0, 0, 0, 0, 0}));
        socket.enqueue(NetworkRequest(5, {1, 2, 3, 4, 5, 0, 0, 0}));
        socket.enqueue(NetworkRequest(11, {0, 1, 1, 20, 0, 0, 0, 0}));
        socket.enqueue(NetworkRequest(12));
        socket.enqueue(NetworkRequest(10));
        for (int pass = 0; pass < 3 && socket.getState() != WindowsSocket::kConnectFailed; ++pass) socket.runPass();
        std::vector<std::uint8_t> replay;
        if (socket.takeDownloadedReplay(replay) && replay.size() > size) std::abort();
    }
    net::Net::setInstance(nullptr);
    return 0;
}
