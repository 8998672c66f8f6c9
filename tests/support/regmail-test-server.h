// A scripted mail server for the registration tests, on the loopback test
// server: it greets, answers every command line with the reply the test set
// for its verb (or a willing default), takes the mail after DATA, and keeps
// every byte the client sent.
#ifndef REGMAIL_TEST_SERVER_H
#define REGMAIL_TEST_SERVER_H

#include <map>
#include <memory>
#include <string>

#include "socket-test-server.h"

struct SmtpScript {
  std::string greeting = "220 mail.test ready\r\n";
  // Replies by verb: "VRFY", "MAIL", "RCPT", "DATA", "QUIT", and "." for the
  // end of the mail.
  std::map<std::string, std::string> replies;
  bool closeAfterGreeting = false;
  bool silent = false;  // never says a word; waits until the client goes
};

class SmtpTestServer {
 public:
  explicit SmtpTestServer(const SmtpScript &script)
      : state_(std::make_shared<State>()),
        server_([script, state = state_](TestPeer &peer) { Session(script, *state, peer); }) {}
  int Port() const { return server_.Port(); }
  // What the client sent, once the conversation has ended.
  std::string Transcript() {
    server_.Join();
    return state_->transcript;
  }
  // The mail as sent after DATA, up to and including the end of data.
  std::string Mail() {
    server_.Join();
    return state_->mail;
  }

 private:
  struct State {
    std::string transcript, mail, pending;
  };

  static std::string DefaultReply(const std::string &verb) {
    if (verb == "VRFY") return "250 <reg@mail.test>\r\n";
    if (verb == "DATA") return "354 End data with <CR><LF>.<CR><LF>\r\n";
    if (verb == "QUIT") return "221 Bye\r\n";
    if (verb == ".") return "250 Queued\r\n";
    return "250 OK\r\n";
  }

  // Reads up to and including terminator; "" when the client went first.
  static std::string ReadUntil(State &state, TestPeer &peer, const std::string &terminator) {
    size_t end;
    while ((end = state.pending.find(terminator)) == std::string::npos) {
      std::string part = peer.Receive(4096);
      if (part.empty()) {
        state.transcript += state.pending;
        state.pending.clear();
        return "";
      }
      state.pending += part;
    }
    std::string text = state.pending.substr(0, end + terminator.size());
    state.pending.erase(0, end + terminator.size());
    state.transcript += text;
    return text;
  }

  static void Session(const SmtpScript &script, State &state, TestPeer &peer) {
    if (script.silent) {
      state.transcript = peer.ReceiveToEnd();
      return;
    }
    peer.Send(script.greeting);
    if (script.closeAfterGreeting) return;
    for (;;) {
      std::string line = ReadUntil(state, peer, "\r\n");
      if (line.empty()) return;
      std::string verb = line.substr(0, 4);
      auto set = script.replies.find(verb);
      std::string reply = set != script.replies.end() ? set->second : DefaultReply(verb);
      peer.Send(reply);
      if (verb == "DATA" && reply.compare(0, 3, "354") == 0) {
        state.mail = ReadUntil(state, peer, "\r\n.\r\n");
        if (state.mail.empty()) return;
        set = script.replies.find(".");
        peer.Send(set != script.replies.end() ? set->second : DefaultReply("."));
      }
    }
  }

  std::shared_ptr<State> state_;
  TestServer server_;
};

#endif
