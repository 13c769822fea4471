"""A small FTP server for the update client's end-to-end test (Debian's python3-pyftpdlib).

    ftp_server.py ROOT PORT_FILE LOG_FILE

Serves ROOT on 127.0.0.1 at a free port, written to PORT_FILE, to the user "user" (password
"pw") and to anonymous users.  Transfers run at 512 KiB/s, so a test can stop one half-way; a
file whose name starts with "drop" breaks off after 64 KiB with the control connection closed.
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

DROP_AFTER = 64 * 1024


class DroppingFile:
    """Reads like the file until DROP_AFTER bytes, then ends the whole session."""

    def __init__(self, inner, channel):
        self._inner = inner
        self._channel = channel
        self._sent = 0

    def read(self, size=-1):
        if self._sent >= DROP_AFTER:
            logging.info("dropping the connection during %s", self._inner.name)
            self._channel.close()
            return b""
        data = self._inner.read(min(size if size > 0 else DROP_AFTER, DROP_AFTER - self._sent))
        self._sent += len(data)
        return data

    def __getattr__(self, name):
        return getattr(self._inner, name)


class DroppingFS(AbstractedFS):
    def open(self, filename, mode):
        f = super().open(filename, mode)
        if "r" in mode and os.path.basename(filename).startswith("drop"):
            return DroppingFile(f, self.cmd_channel)
        return f


def main():
    root, port_file, log_file = sys.argv[1:4]
    logging.basicConfig(filename=log_file, level=logging.INFO, format="%(message)s")
    authorizer = DummyAuthorizer()
    authorizer.add_user("user", "pw", root, perm="elr")
    authorizer.add_anonymous(root)
    dtp = ThrottledDTPHandler
    dtp.write_limit = 512 * 1024  # what the server sends (RETR)
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.abstracted_fs = DroppingFS
    handler.dtp_handler = dtp
    handler.use_sendfile = False
    server = FTPServer(("127.0.0.1", 0), handler)
    port = server.socket.getsockname()[1]
    with open(port_file + ".tmp", "w") as f:
        f.write(str(port))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
