"""The programs the browser test drives: the simulator and the client, each
started in a temporary directory that holds its home, its files and its log,
and ended whatever happens to the test."""

import base64
import ctypes
import hashlib
import hmac
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time

PASSWORD = "secret"
# tess's one-time code secret: RFC 6238's test key, in base32.
TOTP_SECRET = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"
# rita's secret and recovery codes, as the client's last enrolment of her
# printed them (start_client enrols her anew).
ENROLLED = {}

# A match that keeps four players on the server and a line of chat coming,
# long enough for the whole test; it loops if the test runs longer.
SCENARIO_START = """server-name Browser Test Arena
motd Be nice
game 2
mode 1
max-players 16
online Alice
online Bob
online Carol
"""
TIMED = """1 join Dave
1 join Frank 20
2 chat Alice hello panel
3 walk Alice health 90 at 10 20 5
4 chat Carol anyone here?
5 walk Dave health 75 at -40 12 3
6 kill Alice Carol M4
7 chat Alice !report Carol aimbot
8 chat Dave gg
""" + "".join(f"{10 + 3 * i} chat Carol line {i}\n" for i in range(40)) + "".join(
    # Frank and Eve take turns at id 20, so that an id passes to another
    # player while the page shows the first.
    f"{20 + 12 * k} quit {gone}\n{20 + 12 * k} join {come} 20\n"
    for k, (gone, come) in enumerate([("Frank", "Eve"), ("Eve", "Frank")] * 5))
# The timed lines in order of time (a stable sort keeps a quit before its join).
SCENARIO = SCENARIO_START + "".join(
    sorted(TIMED.splitlines(keepends=True), key=lambda line: int(line.split()[0]))) + "130 end\n"


def die_with_parent():
    """For a child before it runs its program: killed when the test dies, so
    that not even a test killed outright (a time-out's SIGKILL) leaves it."""
    os.setsid()
    PR_SET_PDEATHSIG = 1  # pylint: disable=invalid-name
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class TempHome:
    """A temporary directory that is HOME, every XDG base directory and
    TMPDIR of the programs started in it."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="gsadmin-browser-")
        self.env = dict(os.environ)
        self.env["HOME"] = self.path
        for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                     "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"):
            self.env[name] = self.file(name.lower())
            os.makedirs(self.env[name], mode=0o700, exist_ok=True)

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, text, mode=0o600):
        with open(self.file(name), "w", encoding="utf-8") as out:
            out.write(text)
        os.chmod(self.file(name), mode)
        return self.file(name)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


class Program:
    """One child process with its output going to a log file."""

    def __init__(self, home, name, argv):
        self.home = home
        self.log = home.file(name + ".log")
        with open(self.log, "wb") as out:
            # A session of its own, so that ending it ends whatever it started.
            self.process = subprocess.Popen(argv, cwd=home.path, env=home.env,
                                            stdin=subprocess.DEVNULL, stdout=out,
                                            stderr=subprocess.STDOUT, preexec_fn=die_with_parent)

    def output(self):
        with open(self.log, encoding="utf-8", errors="replace") as log:
            return log.read()

    def wait_for(self, pattern, timeout=10):
        """The first match of the regular expression `pattern` in the output;
        raises when none came within `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            match = re.search(pattern, self.output())
            if match:
                return match
            if self.process.poll() is not None:
                break
            time.sleep(0.05)
        raise AssertionError(f"no {pattern!r} in the output of {self.process.args[0]}:\n"
                             + self.output()[-2000:])

    def hang_up(self):
        os.kill(self.process.pid, signal.SIGHUP)

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()


def totp_now(secret=TOTP_SECRET):
    """The six digits an authenticator app shows now for `secret`."""
    key = base64.b32decode(secret)
    mac = hmac.new(key, struct.pack(">Q", int(time.time()) // 30), hashlib.sha1).digest()
    offset = mac[-1] & 0x0F
    value = struct.unpack(">I", mac[offset:offset + 4])[0] & 0x7FFFFFFF
    return f"{value % 1000000:06d}"


def hash_password(gsadmin, home, password):
    """The users-file hash of `password`, made by the client itself."""
    result = subprocess.run([gsadmin, "--hash-password"], input=password + "\n", text=True,
                            capture_output=True, cwd=home.path, env=home.env, timeout=30,
                            check=True)
    return result.stdout.strip()


def enrol(gsadmin, home, name):
    """`name` enrolled for one-time codes by the client; her secret and
    recovery codes go to ENROLLED."""
    result = subprocess.run([gsadmin, f"--enroll-totp={name}", "--http-users=users"],
                            capture_output=True, text=True, cwd=home.path, env=home.env,
                            timeout=30, check=True)
    ENROLLED["secret"] = re.search(r"Secret of \S+: ([A-Z2-7]+)", result.stdout).group(1)
    ENROLLED["recovery"] = re.findall(r"^  (\d-[a-z2-7]{4}-[a-z2-7]{4}-[a-z2-7]{4})$",
                                      result.stdout, re.M)
    assert len(ENROLLED["recovery"]) == 10, result.stdout


def change_password(gsadmin, home, client, name, password):
    """`name`'s line in the users file with the hash of `password`, read
    again by `client` at a hang-up."""
    with open(home.file("users"), encoding="utf-8") as users:
        lines = users.read().splitlines()
    hashed = hash_password(gsadmin, home, password)
    for i, line in enumerate(lines):
        fields = line.split(" ")
        if fields[0] == name:
            lines[i] = " ".join([fields[0], fields[1], hashed] + fields[3:])
    home.write("users", "\n".join(lines) + "\n")
    client.hang_up()


def start_simulator(sim, home):
    """The simulator on a port it chose, playing SCENARIO; (program, port)."""
    home.write("match.txt", SCENARIO)
    program = Program(home, "sim", [sim, "--port", "0", "--scenario", "match.txt"])
    port = int(program.wait_for(r"listening on 127\.0\.0\.1:(\d+)").group(1))
    return program, port


def start_client(gsadmin, home, sim_port, panel_port=0):
    """The client against the simulator with the panel on `panel_port`, or
    on a port it chose, the public ban record on a port it chose, accounts
    alice (level 4), mia (level 1), tess (level 1, with one-time codes),
    tina (a role that may kick, tempban for a day and read the bans) and
    rita (level 1, enrolled by the client: see ENROLLED);
    (program, panel URL, public URL)."""
    hashed = hash_password(gsadmin, home, PASSWORD)
    home.write("users", f"alice 4 {hashed}\nmia 1 {hashed}\ntess 1 {hashed} totp={TOTP_SECRET}\n"
               f"role trial kick,tempban:1d,read:bans\ntina trial {hashed}\nrita 1 {hashed}\n")
    enrol(gsadmin, home, "rita")
    home.write("panel.lua", "-- nothing: the panel is under test\n")
    # A rule the match never breaks, for the Rules page.
    home.write("panel.rules", '[[rule]]\nname = "slurs"\nkind = "words"\n'
               'words = ["qzxjv"]\nacts = ["warn", "kick"]\n')
    # Paths relative to the directory it runs in, so the console shows no
    # temporary name.
    program = Program(home, "client", [
        gsadmin, "--no-input", f"--http=127.0.0.1:{panel_port}", "--http-users=users",
        "--public=127.0.0.1:0", "--script=panel.lua",
        "--rules=panel.rules", "127.0.0.1", str(sim_port), "Admin", "73519"])
    url = program.wait_for(r"Panel: (http://127\.0\.0\.1:\d+/)").group(1)
    public_url = program.wait_for(r"Public: (http://127\.0\.0\.1:\d+/)").group(1)
    program.wait_for(r"Successfully connected")
    return program, url, public_url
