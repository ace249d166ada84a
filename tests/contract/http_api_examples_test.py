#!/usr/bin/env python3
"""The examples of docs/http-api.md against the API's descriptions: every
JSON body a `curl` example sends or shows as its answer, and every event of
the stream's example, must be valid under the schema docs/openapi.json (or,
for the public ban record's section, docs/public-openapi.json) gives that
route; and every route of a description has its section. Exits 77 (skipped) without the jsonschema module."""

import json
import re
import sys
from pathlib import Path

try:
    from jsonschema import Draft202012Validator
    from referencing import Registry, Resource
except ImportError:
    try:
        from jsonschema import Draft202012Validator
        Registry = None
    except ImportError:
        print("skipped: python3-jsonschema is not installed")
        sys.exit(77)

ROOT = Path(__file__).resolve().parents[2]
HEADING = re.compile(r"^### (GET|POST) (\S+)")
# The stream's events and the schema of each one's data.
EVENT_SCHEMAS = {
    "console": {"$ref": "#/components/schemas/ConsoleLine"},
    "server": {"$ref": "#/components/schemas/ServerEvent"},
    "players": {"type": "array", "items": {"$ref": "#/components/schemas/Player"}},
}


class Description:
    """docs/openapi.json: finds a route's operation and validates a value
    against a schema of it, resolving references within the document."""

    def __init__(self, document):
        self.document = document
        self.templates = [(re.compile("^" + re.sub(r"\\{[^}]+\\}", r"[^/]+", re.escape(path)) + "$"),
                           path) for path in document["paths"]]

    def template(self, path):
        """The documented path that `path` (`/api/reports/N`) is."""
        return next((template for pattern, template in self.templates if pattern.match(path)), None)

    def operation(self, method, path):
        template = self.template(path)
        return self.document["paths"][template].get(method.lower()) if template else None

    def errors(self, value, schema):
        wrapped = dict(schema)
        wrapped["components"] = self.document["components"]
        validator = Draft202012Validator(wrapped)
        return [error.message for error in validator.iter_errors(value)]


def sections(text):
    """Each `### METHOD PATH` heading of the panel's API with the lines of
    its code blocks (indented by 4), blank lines between them kept."""
    found, current, api = [], None, "panel"
    for line in text.splitlines():
        match = HEADING.match(line)
        if match:
            current = [api, match.group(1), match.group(2).split("?")[0], []]
            found.append(current)
        elif line.startswith("## "):
            # The public ban record is another listener's, with its own description.
            current = None
            api = "public" if line.startswith("## The public") else "panel"
        elif current is not None and (line.startswith("    ") or not line.strip()):
            current[3].append(line[4:] if line.strip() else "")
        elif current is not None:
            current[3].append(None)  # prose ends a block
    return found


def examples(lines):
    """(command, answer lines) for each `$ curl` of a section."""
    command, answer = None, []
    for line in lines + [None]:
        if line is not None and line.startswith("$ "):
            if command is not None:
                yield command, answer
            command, answer = line[2:], []
        elif command is not None and line is not None and command.endswith("\\"):
            command = command[:-1] + line.strip()
        elif command is not None and line is not None:
            answer.append(line)
        elif command is not None:
            yield command, answer
            command, answer = None, []


def request_body(command):
    match = re.search(r"-d '(\{.*?\})'", command)
    return json.loads(match.group(1)) if match else None


def answer_body(lines):
    """The JSON an answer shows, after its status line and headers if any."""
    if lines and lines[0].startswith("HTTP/"):
        lines = lines[lines.index(""):] if "" in lines else []
    text = " ".join(line.strip() for line in lines).strip()
    return json.loads(text) if text[:1] in ("{", "[") else None


def response_schemas(operation, body):
    """The JSON schemas of the answers `body` may be: the errors' for a
    body with an error, else the successes'."""
    failed = isinstance(body, dict) and "error" in body
    found = []
    for status, response in operation["responses"].items():
        if status.startswith("2") == failed:
            continue
        schema = response.get("content", {}).get("application/json", {}).get("schema")
        if schema is not None:
            found.append(schema)
    return found


def check_stream(description, lines, where):
    """The stream's example: each `data:` (continued on indented lines) under its event."""
    problems, event, data = [], None, None
    for line in lines + [""]:
        if line and line.startswith("event: "):
            event = line[len("event: "):]
        elif line and line.startswith("data: "):
            data = line[len("data: "):]
        elif line and data is not None and line.startswith(" "):
            data += " " + line.strip()
        elif data is not None:
            try:
                value = json.loads(data)
            except json.JSONDecodeError as error:
                problems.append(f"{where}: event {event} that is not JSON: {error}")
                value = None
            if value is not None:
                for error in description.errors(value, EVENT_SCHEMAS[event]):
                    problems.append(f"{where}: event {event}: {error}")
            data = None
    return problems


def check(description, method, path, lines):
    where = f"{method} {path}"
    operation = description.operation(method, path)
    if operation is None:
        return [f"{where}: not in docs/openapi.json"]
    problems, count = [], 0
    if path == "/api/events":
        return check_stream(description, [line or "" for line in lines if line is not None], where)
    block = [line for line in lines if line is not None]
    for command, answer in examples(block):
        try:
            sent = request_body(command)
        except json.JSONDecodeError as error:
            problems.append(f"{where}: a request that is not JSON: {error}")
            sent = None
        if sent is not None:
            count += 1
            schema = operation["requestBody"]["content"]["application/json"]["schema"]
            problems += [f"{where}: request {sent}: {e}" for e in description.errors(sent, schema)]
        if "|" in command:
            continue  # what a pipe shows is another program's
        try:
            shown = answer_body(answer)
        except json.JSONDecodeError as error:
            problems.append(f"{where}: an answer that is not JSON: {error}")
            continue
        if shown is None:
            continue
        count += 1
        candidates = [description.errors(shown, schema) for schema in response_schemas(operation, shown)]
        if not candidates or all(candidates):
            first = next((c for c in candidates if c), ["no schema for it"])
            problems.append(f"{where}: answer {json.dumps(shown)[:80]}: {first[0]}")
    return problems


def main():
    descriptions = {}
    for api, name in (("panel", "openapi.json"), ("public", "public-openapi.json")):
        document = json.loads((ROOT / "docs" / name).read_text())
        assert document["openapi"].startswith("3.1"), f"{name}: an OpenAPI 3.1 document"
        descriptions[api] = Description(document)
    markdown = (ROOT / "docs/http-api.md").read_text()
    found = sections(markdown)
    problems = []
    for api, method, path, lines in found:
        problems += [f"({api}) {p}" for p in check(descriptions[api], method, path, lines)]
    # Every route of each API has its section.
    for api, description in descriptions.items():
        headed = {(method, description.template(path)) for a, method, path, _ in found if a == api}
        for template, item in description.document["paths"].items():
            for method in ("GET", "POST"):
                if template.startswith("/api/") and method.lower() in item and (method, template) not in headed:
                    problems.append(f"({api}) {method} {template}: no section in docs/http-api.md")
    for problem in problems:
        print(problem)
    print(f"{len(found)} routes' examples checked, {len(problems)} problems")
    return 1 if problems or not found else 0


if __name__ == "__main__":
    sys.exit(main())
