#!/bin/sh
# tests/facts/engines.sh VELMORA FACT_FILE
# Runs the fact file through the real engines, Ansible's setup module and Facter,
# against this machine only, and checks that they hand on what `velmora --json`
# prints: every key, the same answers, the narrowed set, and a failure as a failure.
set -eu
velmora=$1
fact_file=$2
limit=60  # seconds per engine run

scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmora-facts.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/ansible-facts.d" "$scratch/facter-facts.d" "$scratch/home"
cp "$fact_file" "$scratch/ansible-facts.d/velmora.fact"
cp "$fact_file" "$scratch/facter-facts.d/velmora"
chmod +x "$scratch/ansible-facts.d/velmora.fact" "$scratch/facter-facts.d/velmora"

# The engines write their state under HOME and the ANSIBLE_* folders: all in the
# scratch folder, and no ansible.cfg of the caller's is read.
export HOME="$scratch/home" VELMORA="$velmora"
export ANSIBLE_CONFIG="$scratch/none.cfg" ANSIBLE_HOME="$scratch/home/.ansible"
export ANSIBLE_LOCAL_TEMP="$scratch/local-tmp" ANSIBLE_REMOTE_TMP="$scratch/remote-tmp"
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
cd "$scratch"

# ansible_local as the setup module reports it, written to $1; $2 is VELMORA_FACTS.
ansible_local() {
  rm -rf "$scratch/tree"
  VELMORA_FACTS=${2-} timeout "$limit" ansible localhost -i localhost, -c local -e ansible_python_interpreter=/usr/bin/python3 \
    -m setup -a "fact_path=$scratch/ansible-facts.d filter=ansible_local gather_subset=!all" \
    --tree "$scratch/tree" >"$scratch/ansible.out" 2>&1 || { cat "$scratch/ansible.out"; exit 1; }
  python3 -c 'import json, sys; print(json.dumps(json.load(open(sys.argv[1]))["ansible_facts"]["ansible_local"]))' \
    "$scratch/tree/localhost" >"$1"
}

# Facter's fact velmora as JSON, written to $1; $2 is VELMORA_FACTS.
facter_facts() {
  VELMORA_FACTS=${2-} timeout "$limit" facter --external-dir "$scratch/facter-facts.d" --json velmora >"$1" 2>"$scratch/facter.err" ||
    { cat "$scratch/facter.err"; exit 1; }
}

# compare ENGINE_JSON BEFORE AFTER PATH...: the object at PATH in the engine's
# answer has the keys of velmora's and each answer equals velmora's before or
# after the engine ran (a package installed meanwhile changes the software lists).
# GetComputerDiskInfo holds free space, which changes from one call to the next:
# only its type is compared.
compare() {
  python3 - "$@" <<'EOF'
import json, sys
engine, before, after = (json.load(open(f)) for f in sys.argv[1:4])
where = sys.argv[4:]
for key in where:
    if not isinstance(engine, dict) or key not in engine:
        sys.exit(f"{'.'.join(where)}: no {key} in {json.dumps(engine)[:400]}")
    engine = engine[key]
if not isinstance(engine, dict):
    sys.exit(f"{'.'.join(where)} is no object: {json.dumps(engine)[:400]}")
if list(before) != list(after) or sorted(engine) != sorted(before):
    sys.exit(f"{'.'.join(where)} keys {sorted(engine)}, velmora's {sorted(before)}")
changing = {"GetComputerDiskInfo"}
for key, answer in engine.items():
    if key in changing:
        ok = type(answer) is type(before[key])
    else:
        ok = answer in (before[key], after[key])
    if not ok:
        sys.exit(f"{'.'.join(where)}.{key}: {json.dumps(answer)[:200]}, velmora: {json.dumps(before[key])[:200]}")
print(f"{sys.argv[1].removesuffix('.json')}: {'.'.join(where)} holds {len(engine)} facts as velmora --json prints them")
EOF
}

# Every fact, by default.
"$velmora" --json >before.json
ansible_local ansible.json
facter_facts facter.json
"$velmora" --json >after.json
compare ansible.json before.json after.json velmora
compare facter.json before.json after.json velmora

# The narrowed set, the listed names and nothing else: for Ansible in VELMORA_FACTS,
# for Facter in the fact file's own facts= line.
narrow="GetComputerName GetOperatingSystemVersion GetFixdDisk"
sed -i "s/^facts=\"\"\$/facts=\"$narrow\"/" "$scratch/facter-facts.d/velmora"
grep -qx "facts=\"$narrow\"" "$scratch/facter-facts.d/velmora" || { echo "fact file: no facts= line" >&2; exit 1; }
# shellcheck disable=SC2086
"$velmora" --json $narrow >before.json
ansible_local ansible.json "$narrow"
facter_facts facter.json
# shellcheck disable=SC2086
"$velmora" --json $narrow >after.json
compare ansible.json before.json after.json velmora
compare facter.json before.json after.json velmora

# A name velmora does not know makes the fact script fail (exit 2): Ansible shows
# the failure and Facter no value, rather than a silently empty or partial object.
ansible_local ansible.json "GetComputerName NoSuchMethod"
facter_facts facter.json "GetComputerName NoSuchMethod"
python3 - ansible.json facter.json <<'EOF'
import json, sys
ansible, facter = (json.load(open(f)).get("velmora") for f in sys.argv[1:3])
if not (isinstance(ansible, str) and "rc: 2" in ansible):
    sys.exit(f"unknown name: ansible_local.velmora is {json.dumps(ansible)[:300]}")
if facter is not None:
    sys.exit(f"unknown name: Facter's velmora is {json.dumps(facter)[:300]}")
print("unknown name: the fact script's failure reached Ansible and Facter")
EOF
