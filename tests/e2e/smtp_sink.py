"""A mail server for the end-to-end cases: aiosmtpd (Debian's python3-aiosmtpd)
listening on 127.0.0.1, keeping every mail it is given as a file.

The installer's mailer speaks without HELO and wants VRFY answered 250, so
this server needs no greeting from its client and answers every VRFY 250.

usage: /usr/bin/python3 smtp_sink.py OUT_DIR [PORT]

It prints "ready <port>" once it listens, writes each mail to OUT_DIR as
mail-N.txt (a small envelope header, a blank line, the data exactly as
received) and ends on SIGTERM or when its standard input closes.
"""
import asyncio
import os
import signal
import sys

from aiosmtpd.smtp import SMTP


class MailerFriendlySMTP(SMTP):
    async def check_helo_needed(self, helo="HELO"):
        return False


class Keeper:
    def __init__(self, out):
        self.out = out
        self.count = 0

    async def handle_VRFY(self, server, session, envelope, address):
        return "250 <%s>" % address

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.out, "mail-%d.txt" % self.count)
        head = "FROM %s\r\nTO %s\r\n\r\n" % (envelope.mail_from, " ".join(envelope.rcpt_tos))
        with open(path + ".part", "wb") as f:
            f.write(head.encode() + envelope.original_content)
        os.replace(path + ".part", path)
        return "250 Message accepted for delivery"


def main():
    out = sys.argv[1]
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 25
    os.makedirs(out, exist_ok=True)
    keeper = Keeper(out)
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(lambda: MailerFriendlySMTP(keeper, decode_data=False, hostname="mail.test"),
                           "127.0.0.1", port))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    loop.add_reader(sys.stdin.fileno(), lambda: sys.stdin.buffer.read1(4096) or loop.stop())
    print("ready %d" % server.sockets[0].getsockname()[1], flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()
        loop.run_until_complete(server.wait_closed())


if __name__ == "__main__":
    main()
