// Plain loopback sockets for playing a hostile peer; kept apart from the
// window-system socket names the services headers bring in.
#pragma once
#include <string>
#include <vector>

// A stream socket connected to 127.0.0.1:port, or -1; a receive buffer of
// the size given, when one is.
int rawConnect(const std::string& port, int receiveBuffer = 0);
// Writes the bytes, best effort.
void rawSend(int fd, const char* bytes, int length);
// Closes the socket, with a reset instead of an orderly end when asked.
void rawClose(int fd, bool reset = false);
// Ends the sending half only.
void rawEndSending(int fd);
// A stream socket whose connect to 127.0.0.1:port has started, or -1.
int rawConnectStart(const std::string& port);
// A stream socket listening on 127.0.0.1 and a port of the system's
// choosing, stored in port; or -1. What connects is never served.
int rawListen(std::string* port);
// Waits until each socket has read at least want bytes or met its end, or
// until the time is up; the bytes each read (-1 for an error).
std::vector<long> rawReadAtLeast(const std::vector<int>& fds, long want, int milliseconds);

#include <atomic>
#include <thread>

// Relays one client from a port of its own to 127.0.0.1:target, keeping the
// bytes the client sent.
class RawRelay {
 public:
  explicit RawRelay(const std::string& target);
  ~RawRelay();
  std::string port;
  // Ends the relay; what the client sent through it.
  std::string sent();

 private:
  int listener = -1;
  std::atomic<bool> stopping{false};
  std::string bytes;
  std::thread worker;
};

// A busy peer: on a connection of its own it sends the opening, then the
// call over and over, a thousand to a write, reading the replies or leaving
// them, until stopped, until the service's resident size passes the limit,
// or until the time is up. Counts its progress as it goes.
class RawFlood {
 public:
  RawFlood(const std::string& port, const std::string& opening, const std::string& call, bool readReplies,
           int servicePid, long rssLimitKb, int milliseconds);
  // On a connection already made, the opening then the burst over and over.
  RawFlood(int connection, const std::string& opening, const std::string& burst, bool readReplies, int servicePid,
           long rssLimitKb, int milliseconds);
  ~RawFlood();
  bool flooding() const { return !ended; }
  void stop();
  std::atomic<long> bytesSent{0}, bytesRead{0}, peakRssKb{0};
  std::atomic<bool> overLimit{false}, connected{false};

 private:
  int fd = -1;
  std::atomic<bool> stopping{false}, ended{false};
  std::thread worker, reader;
};

// A DDE peer by hand: a stream connection to this user's local DDE service
// of that name, or -1; and the conversation's frames: its opening on the
// topic "vcomm" with an advise loop on the item, and a poke of the bytes
// as a data item of ours (the payload, then its trailing count).
int rawDdeConnect(const std::string& service);
std::string rawDdeOpening(const std::string& item);
std::string rawDdePoke(const std::string& item, const std::string& bytes);

// The resident size of a process in KiB, or -1.
long residentKb(int pid);

// The descriptors a process holds open, or -1.
int openDescriptors(int pid);
// Sends the opening, then the call over and over, until count calls have
// gone or the service has taken nothing for stallMs (it reads no more).
// Counts the calls sent in *sent as it goes; false on an error.
bool rawStuff(int fd, const std::string& opening, const std::string& call, long count, int stallMs,
              std::atomic<long>* sent);
// Reads the service's opening and then frames, until want frames have
// come, the stream has ended (*ended) or the time is up: the frames read.
// A pause after each read makes a slow reader.
long rawReadFrames(int fd, long want, int milliseconds, bool* ended, int pauseMicroseconds = 0);
