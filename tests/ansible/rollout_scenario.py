#!/usr/bin/env python3
"""A chain's rollout through Ansible with the real parts, in network namespaces of its own.

An HQ namespace runs ansible-playbook and the line's records (PostgreSQL); three store namespaces
each run sshd and the build's posflash-cli, with a LAN of simulated network printers, each in a
namespace of its own. Every scenario is judged by what the printers received and what the
records say.

    rollout_scenario.py POSFLASH_CLI PRINTER_SIM ANSIBLE_DIR [--try]
Exits 77 (skipped) only when not root or without ansible-playbook, sshd, minisign or PostgreSQL.
With --try it runs no scenario: it sets the chain up, prints the commands of a dry run and a
rollout to type by hand, and keeps the chain until Enter or Ctrl-C.
"""
import datetime
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

CLI, SIM, COLLECTIONS = (os.path.abspath(a) for a in sys.argv[1:4])
TAG = "pfr%d" % (os.getpid() % 100000)
HQ, HQ_IP = TAG + "hq", "10.36.0.1"
PRINTERS = (3, 2, 3)  # per store
NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
# posflash and sshd see the test's key as the administrator's (/etc/posflash/trusted-keys), and
# sshd its own /run/sshd: read-only and private overlays, gone with the namespace's processes.
MOUNTS = r"""set -e
mount -t overlay pf -o lowerdir="$1":/etc /etc
if [ -n "$2" ]; then
  mkdir -p "$2/run" "$2/run-work"
  mount -t overlay pf -o lowerdir=/run,upperdir="$2/run",workdir="$2/run-work" /run
  mkdir -p -m 755 /run/sshd
fi
shift 2
exec "$@"
"""


def skip(why):
    print("skipped: " + why)
    sys.exit(77)


class Fail(Exception):
    pass


def check(ok, what, detail=""):
    if not ok:
        raise Fail("%s\n%s" % (what, detail))


def run(cmd, **kw):
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120, **kw)
    check(r.returncode == 0, "failed: %s" % " ".join(cmd), r.stdout + r.stderr)
    return r.stdout


class Proc:
    """A child whose output is read as it comes, so that a line of it can be waited for."""

    def __init__(self, cmd, **kw):
        self.cmd, self.lines, self.closed = cmd, [], False
        self.p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL, text=True, **kw)
        self.cv = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.p.stdout:
            with self.cv:
                self.lines.append(line.rstrip())
                self.cv.notify_all()
        with self.cv:
            self.closed = True
            self.cv.notify_all()

    def wait_for(self, text, timeout=30):
        seen = lambda: any(text in line for line in self.lines)
        with self.cv:
            self.cv.wait_for(lambda: seen() or self.closed, timeout)
            check(seen(), "%s never said %r" % (self.cmd[-1], text), "\n".join(self.lines[-20:]))

    def stop(self):
        if self.p.poll() is None:
            self.p.terminate()
            try:
                self.p.wait(10)
            except subprocess.TimeoutExpired:
                self.p.kill()
                self.p.wait()


class Chain:
    def __init__(self, tmp):
        self.tmp, self.namespaces, self.sshd, self.sims = tmp, [], {}, {}
        self.keys = os.path.join(tmp, "keys-layer")

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def ns(self, name):
        run(["ip", "netns", "add", name])
        self.namespaces.append(name)
        run(["ip", "-n", name, "link", "set", "lo", "up"])

    def link(self, here, there, here_name, there_name, bridge, there_ip):
        run(["ip", "link", "add", here_name, "netns", here, "type", "veth", "peer", "name", there_name,
             "netns", there])
        run(["ip", "-n", here, "link", "set", here_name, "master", bridge, "up"])
        run(["ip", "-n", there, "addr", "add", there_ip + "/24", "dev", there_name])
        run(["ip", "-n", there, "link", "set", there_name, "up"])

    def bridge(self, ns, name, ip):
        run(["ip", "-n", ns, "link", "add", name, "type", "bridge"])
        run(["ip", "-n", ns, "addr", "add", ip + "/24", "dev", name])
        run(["ip", "-n", ns, "link", "set", name, "up"])

    def in_ns(self, ns, cmd, store=None):
        return ["ip", "netns", "exec", ns, "unshare", "--mount", "--propagation", "private", "sh", "-c",
                MOUNTS, "sh", self.keys, store or ""] + cmd

    def kill_in(self, name):
        """Every process in one of the test's namespaces (the store's sshd and its sessions)."""
        pids = subprocess.run(["ip", "netns", "pids", name], stdout=subprocess.PIPE, text=True).stdout
        for pid in pids.split():
            try:
                os.kill(int(pid), signal.SIGKILL)
            except ProcessLookupError:
                pass

    def cleanup(self):
        for proc in list(self.sims.values()) + list(self.sshd.values()):
            proc.stop()
        if getattr(self, "postgres", None):
            self.postgres.stop()
        for name in self.namespaces:  # ssh masters and sessions left in the test's namespaces
            self.kill_in(name)
            subprocess.run(["ip", "netns", "del", name])

    # --- the parts -------------------------------------------------------------------------
    def build(self):
        self.ns(HQ)
        self.bridge(HQ, "br0", HQ_IP)
        for k, count in enumerate(PRINTERS):
            store = TAG + "s%d" % k
            self.ns(store)
            self.link(HQ, store, "hq%d" % k, "up0", "br0", self.store_ip(k))
            self.bridge(store, "lan0", "192.168.%d.1" % (10 + k))
            for j in range(count):
                printer = store + "p%d" % j
                self.ns(printer)
                self.link(store, printer, "p%d" % j, "eth0", "lan0", self.printer(k, j)["ip"])
                # The boot loader broadcasts before it knows the store PC: it needs a route.
                run(["ip", "-n", printer, "route", "add", "default", "dev", "eth0"])
        os.makedirs(os.path.join(self.keys, "posflash", "trusted-keys"))
        run(["minisign", "-G", "-W", "-p", self.path("keys-layer/posflash/trusted-keys/rollout.pub"),
             "-s", self.path("rollout.key")])
        run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", self.path("id")])
        for k in range(len(PRINTERS)):
            self.start_sshd(k)
        self.start_records()

    @staticmethod
    def store_ip(k):
        return "10.36.0.%d" % (10 + k)

    @staticmethod
    def printer(k, j):
        return {"ip": "192.168.%d.%d" % (10 + k, 21 + j), "mac": "02-36-00-00-%02d-%02d" % (k, j)}

    def store_dir(self, k):
        return self.path("store%d" % k)

    def start_sshd(self, k):
        d = self.store_dir(k)
        if not os.path.exists(d):
            for sub in ("data", "config", "state", "cache"):
                os.makedirs(os.path.join(d, sub))
            run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", os.path.join(d, "host_key")])
            # Root's own HOME (and its shell's start-up files) stays out of the store.
            env = "HOME=%s " % d + " ".join("XDG_%s_HOME=%s/%s" % (s.upper(), d, s) for s in ("data", "config", "state", "cache"))
            with open(os.path.join(d, "sshd_config"), "w") as f:
                f.write("ListenAddress %s\nHostKey %s/host_key\nAuthorizedKeysFile %s.pub\nUsePAM no\n"
                        "PidFile none\nStrictModes no\nPasswordAuthentication no\n"
                        "KbdInteractiveAuthentication no\nPermitRootLogin prohibit-password\n"
                        "Subsystem sftp internal-sftp\nSetEnv %s LANG=C.UTF-8\n"
                        % (self.store_ip(k), d, self.path("id"), env))
        self.sshd[k] = Proc(self.in_ns(TAG + "s%d" % k, ["/usr/sbin/sshd", "-D", "-e", "-f", d + "/sshd_config"], d))
        self.sshd[k].wait_for("Server listening")

    def start_records(self):
        pg = sorted(glob.glob("/usr/lib/postgresql/*/bin"))[-1]
        d = self.path("pg")
        os.makedirs(d)
        with open(d + "/pw", "w") as f:
            f.write("admin-pw\n")
        shutil.chown(d, "nobody", "nogroup")
        shutil.chown(d + "/pw", "nobody", "nogroup")
        run(NOBODY + [pg + "/initdb", "-D", d + "/data", "-U", "admin", "--pwfile=" + d + "/pw",
                      "--auth-local=trust", "--auth-host=scram-sha-256", "-E", "UTF8", "--no-sync"])
        with open(d + "/data/pg_hba.conf", "a") as f:
            f.write("host all all 10.36.0.0/24 scram-sha-256\n")
        self.postgres = Proc(["ip", "netns", "exec", HQ] + NOBODY + [
            pg + "/postgres", "-D", d + "/data", "-h", HQ_IP, "-k", d, "-c", "fsync=off"])
        self.postgres.wait_for("ready to accept connections")
        self.sql("postgres", "CREATE DATABASE line")
        for k in range(len(PRINTERS)):
            self.sql("line", "CREATE ROLE store_%d LOGIN PASSWORD 'pw-%d'" % (k, k))
        self.hq_cli(["records", "init"])
        for k in range(len(PRINTERS)):
            self.hq_cli(["records", "grant-station", "store_%d" % k, "store-%d" % k])

    def records(self, user="admin", password="admin-pw"):
        return "postgresql://%s:%s@%s/line" % (user, password, HQ_IP)

    def sql(self, db, statement):
        run(["ip", "netns", "exec", HQ, "psql", "-q", "-v", "ON_ERROR_STOP=1",
             "postgresql://admin:admin-pw@%s/%s" % (HQ_IP, db), "-c", statement])

    def hq_env(self):
        home = self.path("hq")
        os.makedirs(home + "/tmp", exist_ok=True)
        return dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
                    XDG_STATE_HOME=home + "/state", LANG="C.UTF-8")

    def hq_cli(self, args, records=True):
        return run(self.in_ns(HQ, [CLI] + args + (["--records", self.records()] if records else [])),
                   env=self.hq_env())

    def recipe(self, name, size):
        """A signed, published recipe of its own image, one byte pattern per name."""
        image = self.path(name + ".bin")
        seed = sum(name.encode())
        body = bytes((i * 37 + seed + i // 251) & 0xFF for i in range(size - 4))
        with open(image, "wb") as f:
            f.write(body + (sum(body) & 0xFFFFFFFF).to_bytes(4, "little"))
        recipe = self.path(name + ".recipe")
        self.hq_cli(["recipe", "make", "--image", image, "--name", name, "--sequence", "1", "--out", recipe],
                    records=False)
        run(["minisign", "-S", "-s", self.path("rollout.key"), "-m", recipe, "-t", "approved for " + name])
        self.hq_cli(["records", "publish-recipe", recipe])
        with open(image, "rb") as f:
            return {"recipe": recipe, "image": image, "recipe_name": name, "bytes": f.read()}

    # --- printers --------------------------------------------------------------------------
    def start_printers(self, never=()):
        """Every store's printers, switched on running their firmware; those in never do not
        come back after a download."""
        for k, count in enumerate(PRINTERS):
            for j in range(count):
                p, d = self.printer(k, j), self.path("sim-%d-%d" % (k, j))
                shutil.rmtree(d, ignore_errors=True)
                os.makedirs(d)
                self.sims[k, j] = Proc(["ip", "netns", "exec", TAG + "s%dp%d" % (k, j), SIM, "net", "--ip", p["ip"],
                                        "--mac", p["mac"], "--restart-into-app",
                                        "never" if (k, j) in never else "300", "--running", "--think", "0",
                                        "--out", d + "/received.bin", "--report", d + "/report.json"])
                self.sims[k, j].wait_for("APP")

    def stop_printers(self):
        """What each printer received: (loaded image or None, boot-loader commands)."""
        got = {}
        for key, sim in self.sims.items():
            sim.stop()
            d = self.path("sim-%d-%d" % key)
            with open(d + "/report.json") as f:
                report = json.load(f)
            # The store PC broadcasts its BOOTP replies on the LAN: one for another MAC is not an
            # error here, as the simulated printer (made for a LAN of its own) takes it to be.
            others = {e.split(":")[0] for e in report["errors"]
                      if "chaddr changed" in e or "came after the link was made" in e}
            errors = [e for e in report["errors"] if e.split(":")[0] not in others]
            check(not errors, "printer %s saw errors" % (key,), errors)
            frames = report["start_frames"] + report["data_frames"] + report["final_frames"]
            loaded = None
            if report["sessions_completed"]:
                with open(d + "/received.bin", "rb") as f:
                    loaded = f.read()
            got[key] = {"frames": frames, "commands": report["app_boot_commands"], "loaded": loaded}
        self.sims = {}
        return got

    # --- the rollout -----------------------------------------------------------------------
    def rollout_files(self, rollout, hosts=None, **extra):
        """inventory.yml and rollout.yml, and the environment and command of the playbook."""
        hosts = hosts or {"store-%d" % k: (k, list(range(n)), {}) for k, n in enumerate(PRINTERS)}
        inventory = {}
        for name, (k, printers, more) in hosts.items():
            inventory[name] = dict({
                "ansible_host": self.store_ip(k), "ansible_user": "root",
                "ansible_remote_tmp": self.store_dir(k) + "/ansible-tmp",
                "ansible_python_interpreter": "/usr/bin/python3",
                "posflash_rollout_dir": "%s/rollout-%s" % (self.store_dir(k), name),
                "posflash_station": "store-%d" % k,
                "posflash_records": self.records("store_%d" % k, "pw-%d" % k),
                "posflash_printers": [self.printer(k, j) for j in printers]}, **more)
        tree = self.path("tree")
        shutil.rmtree(tree, ignore_errors=True)
        for name, content in (("inventory.yml", {"all": {"children": {"stores": {"hosts": inventory}}}}),
                              ("rollout.yml", dict({k: v for k, v in rollout.items() if k != "bytes"},
                                                   records=self.records(), posflash_cli=CLI,
                                                   store_order="inventory", verify_back=3, **extra))):
            with open(self.path(name), "w") as f:
                json.dump(content, f)  # YAML reads JSON
        env = dict(self.hq_env(), ANSIBLE_COLLECTIONS_PATH=COLLECTIONS, ANSIBLE_HOST_KEY_CHECKING="False",
                   ANSIBLE_PRIVATE_KEY_FILE=self.path("id"), ANSIBLE_LOCAL_TEMP=self.path("hq/tmp"),
                   ANSIBLE_SSH_CONTROL_PATH_DIR=self.path("hq/cp"), ANSIBLE_RETRY_FILES_ENABLED="False",
                   ANSIBLE_SSH_ARGS="-o ControlMaster=auto -o ControlPersist=120s -o UserKnownHostsFile=/dev/null",
                   ANSIBLE_CALLBACKS_ENABLED="tree", ANSIBLE_CALLBACK_TREE_DIR=tree, ANSIBLE_NOCOLOR="1",
                   ANSIBLE_PIPELINING="True")
        cmd = ["ansible-playbook", "-i", self.path("inventory.yml"), "posflash.fleet.rollout",
               "-e", "@" + self.path("rollout.yml")]
        return env, cmd

    def playbook(self, rollout, check_mode=False, hosts=None, **extra):
        """ansible-playbook posflash.fleet.rollout from HQ: (exit status, output, each host's last
        result, seconds)."""
        env, cmd = self.rollout_files(rollout, hosts, **extra)
        cmd += ["--check"] if check_mode else []
        tree = env["ANSIBLE_CALLBACK_TREE_DIR"]
        started = time.monotonic()
        # Into a file: ssh's masters outlive the playbook and would hold a pipe open.
        with open(self.path("playbook.log"), "w+") as log:
            try:
                rc = subprocess.run(self.in_ns(HQ, cmd), env=env, stdout=log, stderr=subprocess.STDOUT,
                                    timeout=100).returncode
            except subprocess.TimeoutExpired:
                rc = None
            log.seek(0)
            out = log.read()
        check(rc is not None, "ansible-playbook did not end", out[-6000:])
        results = {}
        for name in os.listdir(tree) if os.path.isdir(tree) else ():
            with open(os.path.join(tree, name)) as f:
                results[name] = json.load(f)
        return rc, out, results, time.monotonic() - started

    def compliance(self, name):
        return json.loads(self.hq_cli(["report", "--compliance", name, "--central", "--format", "json"]))


def outcomes(results, host):
    return sorted((p["ip"], p["fleet"], p["cause"]) for p in results.get(host, {}).get("printers", []))


def scenarios(chain):
    a = chain.recipe("rollout-a", 24 * 1024)
    every = [(k, j) for k, n in enumerate(PRINTERS) for j in range(n)]
    clock = {}

    # 1: check mode sends nothing and says which printers would change.
    chain.start_printers()
    rc, out, results, _ = chain.playbook(a, check_mode=True, budget_count=5)
    got = chain.stop_printers()
    check(rc == 0, "the preflight failed", out)
    check(all(g["frames"] == 0 and g["commands"] == 0 for g in got.values()), "the preflight sent something", got)
    for k, n in enumerate(PRINTERS):
        check({o[1] for o in outcomes(results, "store-%d" % k)} == {"would-update"}
              and len(outcomes(results, "store-%d" % k)) == n, "store %d's preflight" % k, results)
    print("1 check mode: every printer would-update, nothing sent")

    # 2: the canary's printer never comes back: the rollout stops before the other stores.
    chain.start_printers(never={(0, 0)})
    rc, out, results, _ = chain.playbook(a, budget_count=5)
    got = chain.stop_printers()
    check(rc != 0, "a rollout with a failed canary succeeded", out)
    check(("192.168.10.21", "failed", "not-back") in outcomes(results, "store-0"), "the canary's outcome", results)
    check(all(got[k, j]["frames"] == 0 and got[k, j]["commands"] == 0 for k, j in every if k > 0),
          "a store after the canary got something", got)
    report = chain.compliance("rollout-a")
    check(report["totals"]["failures"] == 1 and
          [(s["mac"], s["state"], s["cause"]) for s in report["stragglers"] if s["state"] == "failed"]
          == [(chain.printer(0, 0)["mac"], "failed", "not-back")], "the records after the canary", report)
    print("2 canary: %s not-back stopped the rollout; stores 1 and 2 got nothing" % chain.printer(0, 0)["ip"])

    # 3: a full rollout leaves every printer current, 100 % in the records.
    chain.start_printers()
    rc, out, results, seconds = chain.playbook(a, budget_count=5)
    got = chain.stop_printers()
    check(rc == 0, "the full rollout failed", out)
    check(all(got[key]["loaded"] == a["bytes"] for key in every if key != (0, 1) and key != (0, 2)),
          "a printer without the image", {key: g["frames"] for key, g in got.items()})
    report = chain.compliance("rollout-a")
    check(report["totals"]["percent_current"] == 100 and report["totals"]["current"] == len(every),
          "the compliance report after the rollout", report)
    clock["playbook"] = seconds
    clock["slowest_store"] = max(results["store-%d" % k]["summary"]["t"] for k in range(len(PRINTERS)))
    print("3 full rollout: %d printers current, 100 %%" % len(every))

    # 4: once more: nothing changes, nothing is sent.
    chain.start_printers()
    rc, out, results, _ = chain.playbook(a, budget_count=5)
    got = chain.stop_printers()
    check(rc == 0 and all(not results["store-%d" % k]["changed"] for k in range(len(PRINTERS))),
          "a second run changed something", out)
    check(all(g["frames"] == 0 and g["commands"] == 0 for g in got.values()), "a second run sent something", got)
    check({o[1] for k in range(len(PRINTERS)) for o in outcomes(results, "store-%d" % k)} == {"current"},
          "a second run's outcomes", results)
    print("4 second run: every printer current, nothing sent")

    # 5: store 1's sshd down and store 2 outside its window: pending; the next run takes them.
    b = chain.recipe("rollout-b", 20 * 1024)
    now = datetime.datetime.now(datetime.timezone.utc)
    window = "%s-%s" % ((now - datetime.timedelta(hours=1)).strftime("%H:%M"),
                        (now + datetime.timedelta(hours=1)).strftime("%H:%M"))
    zones = {0: "UTC", 1: "UTC", 2: "Etc/GMT+12"}  # twelve hours behind: outside the window
    hosts = {"store-%d" % k: (k, list(range(n)), {"posflash_timezone": zones[k]}) for k, n in enumerate(PRINTERS)}
    chain.sshd.pop(1).stop()
    chain.kill_in(TAG + "s1")  # and the sessions the controller's ssh keeps open
    chain.start_printers()
    rc, out, results, _ = chain.playbook(b, hosts=hosts, budget_count=5, window=window)
    got = chain.stop_printers()
    check(rc == 0, "a run with pending stores failed", out)
    check(results["store-1"].get("unreachable"), "store 1 was reached", results.get("store-1"))
    check({o[1:] for o in outcomes(results, "store-2")} == {("pending", "outside-window")},
          "store 2 outside its window", results)
    check(all((got[k, j]["loaded"] == b["bytes"]) == (k == 0) for k, j in every), "who got rollout-b", out)
    totals = chain.compliance("rollout-b")["totals"]
    check(totals["failed"] == 0 and totals["failures"] == 0 and totals["pending"] == PRINTERS[2],
          "the records with pending stores", totals)
    chain.start_sshd(1)
    hosts["store-2"][2]["posflash_timezone"] = "UTC"
    chain.start_printers()
    rc, out, results, _ = chain.playbook(b, hosts=hosts, budget_count=5, window=window)
    got = chain.stop_printers()
    check(rc == 0 and all((got[k, j]["loaded"] == b["bytes"]) == (k > 0) for k, j in every),
          "the next run did not complete stores 1 and 2", out)
    check(chain.compliance("rollout-b")["totals"]["percent_current"] == 100, "rollout-b not complete")
    print("5 pending: sshd down and outside the window pending, then completed by the next run")

    # 6: each store's printers as two hosts, waves of two hosts of different store PCs (one PC
    # runs one download at a time), one failed host in each of the first two waves (50 %, under
    # wave_fail_percentage): two failures spend the budget and the gate stops wave 3.
    c = chain.recipe("rollout-c", 16 * 1024)
    halves = {"front": lambda n: [0], "back": lambda n: list(range(1, n))}
    hosts = {}
    for k, half in ((0, "front"), (1, "back"), (1, "front"), (0, "back"), (2, "front"), (2, "back")):
        hosts["store-%d-%s" % (k, half)] = (k, halves[half](PRINTERS[k]), {})
    chain.start_printers(never={(0, 0), (1, 0)})
    rc, out, results, _ = chain.playbook(c, hosts=hosts, budget_count=2, waves=[2, 2, 2],
                                         wave_fail_percentage=50)
    got = chain.stop_printers()
    check(rc != 0 and "failure budget spent" in out, "the gate did not stop wave 3", out)
    check(all(got[1, j]["loaded"] == c["bytes"] for j in range(1, PRINTERS[1])), "wave 2 did not run", got)
    check(all(got[2, j]["frames"] == 0 and got[2, j]["commands"] == 0 for j in range(PRINTERS[2])),
          "wave 3 got something", got)
    check(chain.compliance("rollout-c")["totals"]["failures"] == 2, "the records of rollout-c")
    print("6 budget: two waves under their limit spent it together; the gate stopped the third")
    return clock


def try_it(chain):
    """The chain as a new user meets it: the two commands to type, with their environment."""
    env, cmd = chain.rollout_files(chain.recipe("try-it", 64 * 1024), budget_count=1)
    chain.start_printers()
    keys = ("ANSIBLE_COLLECTIONS_PATH", "ANSIBLE_PRIVATE_KEY_FILE", "ANSIBLE_HOST_KEY_CHECKING",
            "ANSIBLE_SSH_ARGS", "ANSIBLE_PIPELINING", "HOME")
    line = " ".join(["ip", "netns", "exec", HQ, "env"] + ["%s='%s'" % (k, env[k]) for k in keys] + cmd)
    print("Three stores, %s printers, the records and a signed recipe are up. In another terminal:"
          "\n\n  dry run:  %s --check\n\n  rollout:  %s\n\n  compliance: ip netns exec %s env "
          "POSFLASH_RECORDS='%s' %s report --compliance try-it --central\n\nEnter (or Ctrl-C) "
          "ends it all." % (sum(PRINTERS), line, line, HQ, chain.records(), CLI))
    try:
        input()
    except (EOFError, KeyboardInterrupt):
        pass
    chain.stop_printers()
    return 0


def main():
    if os.geteuid() != 0:
        skip("needs root for network namespaces")
    for tool in ("ansible-playbook", "minisign", "ssh-keygen", "psql"):
        if not shutil.which(tool):
            skip(tool + " is not installed")
    if not os.access("/usr/sbin/sshd", os.X_OK) or not glob.glob("/usr/lib/postgresql/*/bin/initdb"):
        skip("sshd (openssh-server) or PostgreSQL is not installed")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped by SIGTERM"))
    started = time.monotonic()
    tmp = tempfile.mkdtemp(prefix="posflash-rollout.")
    os.chmod(tmp, 0o755)  # the records' server runs as nobody below it
    chain = Chain(tmp)
    try:
        chain.build()
        if "--try" in sys.argv:
            return try_it(chain)
        clock = scenarios(chain)
    except Fail as failure:
        print("FAILED: %s" % failure)
        return 1
    finally:
        chain.cleanup()
        shutil.rmtree(tmp, ignore_errors=True)
    print("what Ansible adds: the playbook took %.1f s for the three stores, the slowest store's own "
          "download %.1f s" % (clock["playbook"], clock["slowest_store"]))
    print("all six scenarios passed in %.0f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
