"""Runs the reference on the case file: every case of every library prints one well-formed line
without an error, and the full host's hook calls are the table's rows, in the table's order."""
import json
import subprocess
import sys

import yaml


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, check=False)


def expected_hooks(library):
    hooks = [{"hook_function": name} for name in library["functions"]]
    for group in library["groups"]:
        for row in group["rows"]:
            if row["kind"] != "added":
                hooks.append({"hook_message": group["class"], "meta": row["kind"] == "class",
                              "selector": row["selector"]})
    return hooks


def main(runner, cases_file):
    table = json.loads(run(runner, "table").stdout)
    libraries = {library["name"]: library for library in table["libraries"]}
    with open(cases_file, encoding="utf-8") as cases:
        names = [case["name"] for case in yaml.safe_load(cases)["cases"]]
    result = run(runner, "run", cases_file)
    lines = [json.loads(line) for line in result.stdout.splitlines()]
    failures = [line for line in lines if "error" in line]
    for line in failures:
        print(f"{line['library']} / {line['case']}: {line['error']}")
    seen = sorted((line["library"], line["case"]) for line in lines)
    wanted = sorted((library, name) for library in libraries for name in names)
    if seen != wanted:
        print("cases run:", seen, "\ncases listed:", wanted)
        return 1
    for line in lines:
        if line["case"] != "every host class":
            continue
        hooks = [event for event in line["events"]
                 if "hook_function" in event or "hook_message" in event]
        if hooks != expected_hooks(libraries[line["library"]]):
            print(f"{line['library']}: the full host's hooks are not the table's:", hooks)
            return 1
        if not line["hud_methods"]:
            print(f"{line['library']}: RuvelProgressHUD has no methods")
            return 1
    if failures or result.returncode != 0:
        print(result.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
