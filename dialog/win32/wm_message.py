"""Plays the window manager's part towards one X window, which the GUI tests lack under Xvfb.

    wm_message.py ping WINDOW    waits until the window's program answers a _NET_WM_PING, that is
                                 until its thread is back in its message loop and idle; fails
                                 after 60 s without an answer
    wm_message.py close WINDOW   asks the window to close: WM_PROTOCOLS with WM_DELETE_WINDOW

WINDOW is the decimal id that xdotool prints."""
import select
import sys
import time

from Xlib import X, display, protocol


def protocol_message(connection, window, name, extra):
    return protocol.event.ClientMessage(
        window=window,
        client_type=connection.intern_atom("WM_PROTOCOLS"),
        data=(32, [connection.intern_atom(name), X.CurrentTime] + extra),
    )


def taken(connection, window, name):
    if connection.intern_atom(name) in (window.get_wm_protocols() or []):
        return True
    print(f"wm_message: the window does not take {name}", file=sys.stderr)
    return False


def ping(connection, window):
    if not taken(connection, window, "_NET_WM_PING"):
        return 1
    root = connection.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    ping_atom = connection.intern_atom("_NET_WM_PING")
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        # One ping a second: the program answers each one that reaches its message loop.
        window.send_event(protocol_message(connection, window, "_NET_WM_PING", [window.id, 0, 0]))
        connection.flush()
        resend = time.monotonic() + 1
        while time.monotonic() < resend:
            while connection.pending_events():
                event = connection.next_event()
                if (event.type == X.ClientMessage and event.window == root
                        and event.data[1][0] == ping_atom and event.data[1][2] == window.id):
                    return 0
            select.select([connection.fileno()], [], [], 0.05)
    print("wm_message: no answer to _NET_WM_PING within 60 s", file=sys.stderr)
    return 1


def close(connection, window):
    if not taken(connection, window, "WM_DELETE_WINDOW"):
        return 1
    window.send_event(protocol_message(connection, window, "WM_DELETE_WINDOW", [0, 0, 0]))
    connection.sync()
    return 0


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("ping", "close"):
        print(__doc__, file=sys.stderr)
        return 2
    connection = display.Display()
    window = connection.create_resource_object("window", int(sys.argv[2]))
    try:
        return {"ping": ping, "close": close}[sys.argv[1]](connection, window)
    finally:
        connection.close()


if __name__ == "__main__":
    sys.exit(main())
