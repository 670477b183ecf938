#!/usr/bin/env python3
# A loopback LDAP proxy for the interrupted-write tests: it answers the
# client's StartTLS itself (with the test directory's server certificate),
# forwards every request to the directory's LDAPS port and, once in its life,
# cuts the client's connection when a modify request follows a modify on the
# same connection: the clear of a clear-then-set pair reaches the directory,
# its set never does. For OUTAGE seconds after the cut every new connection
# is closed at once (the directory looks gone); later ones pass untouched.
#
# With DROP_FIRST, the first DROP_FIRST connections are closed at once (a
# directory that does not answer the first time it is asked).
#
# With HOLD (the hex of an objectGUID's 16 bytes), until the cut the answers to
# a search request that holds those bytes are kept back, never forwarded; when
# such a search was sent on the connection cut, "held" is printed: it was still
# in flight when the cut came.
#
#   cut_proxy.py STATE_DIR UPSTREAM_LDAPS_PORT OUTAGE_SECONDS [DROP_FIRST [HOLD]]
# prints the port it listens on, then serves until killed.
import socket
import ssl
import sys
import threading
import time

STATE, UPSTREAM, OUTAGE = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
DROP_FIRST = [int(sys.argv[4]) if len(sys.argv) > 4 else 0]
HOLD = bytes.fromhex(sys.argv[5]) if len(sys.argv) > 5 else b""
MODIFY, EXTENDED, SEARCH = 0x66, 0x77, 0x63
cut_done = threading.Event()
cut_at = [0.0]


def read_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


def read_message(sock):
    """One BER LDAPMessage: (whole bytes, protocol-op tag, message id bytes)."""
    head = read_exact(sock, 2)
    length, extra = head[1], b""
    if length & 0x80:
        extra = read_exact(sock, length & 0x7F)
        length = int.from_bytes(extra, "big")
    body = read_exact(sock, length)
    id_len = body[1]
    return head + extra + body, body[2 + id_len], body[2:2 + id_len]


def starttls_response(message_id):
    oid = b"1.3.6.1.4.1.1466.20037"
    result = b"\x0a\x01\x00\x04\x00\x04\x00" + b"\x8a" + bytes([len(oid)]) + oid
    op = b"\x78" + bytes([len(result)]) + result
    mid = b"\x02" + bytes([len(message_id)]) + message_id
    return b"\x30" + bytes([len(mid) + len(op)]) + mid + op


def shut_both(source, target):
    for s in (source, target):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def pump(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    shut_both(source, target)


def pump_holding(source, target, held_ids):
    """Forwards message by message, keeping back the answers to held searches until the cut."""
    try:
        while True:
            raw, _, message_id = read_message(source)
            if message_id in held_ids and not cut_done.is_set():
                continue
            target.sendall(raw)
    except (OSError, ConnectionError, ssl.SSLError, IndexError):
        pass
    shut_both(source, target)


def serve(client):
    try:
        raw, op, message_id = read_message(client)
        if op != EXTENDED:
            client.close()
            return
        client.sendall(starttls_response(message_id))
        server_side = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server_side.load_cert_chain(f"{STATE}/tls/server.pem", f"{STATE}/tls/server.key")
        tls_client = server_side.wrap_socket(client, server_side=True)
        client_side = ssl.create_default_context(cafile=f"{STATE}/tls/ca.pem")
        upstream = client_side.wrap_socket(socket.create_connection(("127.0.0.1", UPSTREAM)),
                                           server_hostname="127.0.0.1")
        held_ids = set()  # of this connection
        threading.Thread(target=pump_holding if HOLD else pump,
                         args=(upstream, tls_client, held_ids) if HOLD else (upstream, tls_client),
                         daemon=True).start()
        previous = None
        while True:
            raw, op, message_id = read_message(tls_client)
            if HOLD and op == SEARCH and HOLD in raw and not cut_done.is_set():
                held_ids.add(message_id)
            if op == MODIFY and previous == MODIFY and not cut_done.is_set():
                cut_at[0] = time.monotonic()
                cut_done.set()
                if held_ids:
                    print("held", flush=True)
                tls_client.close()
                upstream.close()
                return
            previous = op
            upstream.sendall(raw)
    except (OSError, ConnectionError, ssl.SSLError, IndexError):
        pass


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(16)
print(listener.getsockname()[1], flush=True)
while True:
    connection, _ = listener.accept()
    if DROP_FIRST[0] > 0:
        DROP_FIRST[0] -= 1
        connection.close()
        continue
    if cut_done.is_set() and time.monotonic() - cut_at[0] < OUTAGE:
        connection.close()
        continue
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
