#!/usr/bin/env python3
"""A loopback TCP relay that makes a link cost what a real one does: every
chunk of data arrives half a round trip after it was sent, in each direction,
and each new connection waits one round trip before its first byte moves (the
TCP handshake). TLS handshakes, requests and answers through it then pay their
round trips as on the internet. Kernel traffic shaping is not needed.

    python3 rtt_shim.py --listen 8790 --to 127.0.0.1:8743 --rtt-ms 60 [--control 8791]

With --control PORT, any HTTP request to that port closes every connection
the relay carries and is answered 200: a benchmark's next round then starts
without connections, as a program just started does.

It prints one line "rtt shim listening on 127.0.0.1:PORT ..." when ready
(--listen 0 picks a free port) and, with --verbose, a line per connection.
SIGTERM or SIGINT stops it. Python standard library only.
"""

import argparse
import asyncio
import signal
import sys
import time

CHUNK = 64 * 1024
EOF = None  # queued after a direction's last chunk


class Link:
    def __init__(self, rtt_ms, upstream, verbose):
        self.half = rtt_ms / 2000.0
        self.rtt = rtt_ms / 1000.0
        self.upstream = upstream
        self.verbose = verbose
        self.connections = 0
        self.carried = set()  # writers of the connections being relayed

    async def carry(self, reader, queue):
        """Reads one direction and queues each chunk with its arrival time."""
        try:
            while True:
                data = await reader.read(CHUNK)
                if not data:
                    break
                queue.put_nowait((time.monotonic() + self.half, data))
        except (ConnectionError, OSError):
            pass
        queue.put_nowait((time.monotonic() + self.half, EOF))

    async def deliver(self, queue, writer):
        """Writes the queued chunks in order, each at its arrival time."""
        try:
            while True:
                due, data = await queue.get()
                delay = due - time.monotonic()
                if delay > 0:
                    await asyncio.sleep(delay)
                if data is EOF:
                    if writer.can_write_eof():
                        writer.write_eof()
                    return
                writer.write(data)
                await writer.drain()
        except (ConnectionError, OSError):
            pass

    async def handle(self, client_reader, client_writer):
        self.connections += 1
        number = self.connections
        if self.verbose:
            print("connection %d" % number, flush=True)
        # The handshake's round trip: nothing is relayed before it is over.
        # The client's first bytes wait in the socket meanwhile.
        await asyncio.sleep(self.rtt)
        try:
            server_reader, server_writer = await asyncio.open_connection(*self.upstream)
        except OSError:
            client_writer.close()
            return
        up, down = asyncio.Queue(), asyncio.Queue()
        self.carried.update((client_writer, server_writer))
        await asyncio.gather(
            self.carry(client_reader, up), self.deliver(up, server_writer),
            self.carry(server_reader, down), self.deliver(down, client_writer))
        for writer in (server_writer, client_writer):
            self.carried.discard(writer)
            writer.close()
        if self.verbose:
            print("connection %d closed" % number, flush=True)


    async def control(self, reader, writer):
        """Closes every relayed connection, then answers the request."""
        try:
            await reader.readuntil(b"\r\n\r\n")
        except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError, OSError):
            writer.close()
            return
        dropped = len(self.carried) // 2
        for carried in list(self.carried):
            carried.transport.abort()
        body = b"%d" % dropped
        writer.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                     b"Connection: close\r\n\r\n%s" % (len(body), body))
        try:
            await writer.drain()
        except (ConnectionError, OSError):
            pass
        writer.close()
        if self.verbose:
            print("dropped %d connections" % dropped, flush=True)


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Loopback relay adding a round-trip time.")
    parser.add_argument("--listen", type=int, required=True, help="port on 127.0.0.1; 0 picks one")
    parser.add_argument("--to", required=True, help="HOST:PORT to relay to")
    parser.add_argument("--rtt-ms", type=float, required=True, help="round-trip time to add")
    parser.add_argument("--control", type=int, help="port on 127.0.0.1 whose requests close every connection")
    parser.add_argument("--verbose", action="store_true")
    return parser.parse_args(argv)


async def serve(args):
    host, _, port = args.to.rpartition(":")
    link = Link(args.rtt_ms, (host or "127.0.0.1", int(port)), args.verbose)
    server = await asyncio.start_server(link.handle, "127.0.0.1", args.listen)
    control = None
    if args.control is not None:
        control = await asyncio.start_server(link.control, "127.0.0.1", args.control)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for signum in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(signum, stop.set)
    listening = server.sockets[0].getsockname()
    print("rtt shim listening on %s:%d, relaying to %s with %g ms a round trip"
          % (listening[0], listening[1], args.to, args.rtt_ms), flush=True)
    async with server:
        await stop.wait()
    if control:
        control.close()
    return 0


def main(argv=None):
    args = parse_args(argv)
    try:
        return asyncio.run(serve(args))
    except OSError as e:
        print("error: %s" % e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
