#!/usr/bin/python3
"""An https fixture for the transport tests, on 127.0.0.1 and a free port.

Prints its port on the first line, then serves until its standard input
closes. It offers ALPN "h2" and "http/1.1", so a client that offered h2
would get it; each answer names the protocol chosen and the request line.
GET /to-http?port=N answers 302 to http://127.0.0.1:N/plain.
The certificate is self-signed for 127.0.0.1 and localhost, valid 2000-2100.
"""
import os
import socket
import ssl
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))


def answer(connection):
    with connection:
        head = b""
        while b"\r\n\r\n" not in head:
            piece = connection.recv(4096)
            if not piece:
                return
            head += piece
        request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
        target = request_line.split(" ")[1] if " " in request_line else ""
        if target.startswith("/to-http?port="):
            port = target.split("=", 1)[1]
            response = ("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:%s/plain\r\n"
                        "Content-Length: 0\r\nConnection: close\r\n\r\n" % port)
        else:
            body = "alpn=%s;line=%s" % (connection.selected_alpn_protocol(), request_line)
            response = ("HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s"
                        % (len(body), body))
        connection.sendall(response.encode("latin-1"))


def serve(listener, context):
    while True:
        raw, _ = listener.accept()
        try:
            connection = context.wrap_socket(raw, server_side=True)
        except (ssl.SSLError, OSError):
            raw.close()  # a client that refused the certificate
            continue
        threading.Thread(target=answer, args=(connection,), daemon=True).start()


def main():
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(HERE, "fixture_cert.pem"), os.path.join(HERE, "fixture_key.pem"))
    context.set_alpn_protocols(["h2", "http/1.1"])
    listener = socket.create_server(("127.0.0.1", 0))
    print(listener.getsockname()[1], flush=True)
    threading.Thread(target=serve, args=(listener, context), daemon=True).start()
    sys.stdin.read()  # until the test goes


if __name__ == "__main__":
    main()
