// Times whole processes interleaved: round after round, each command once per round, so that a
// change in the machine's load falls on every command alike. Each command gets its standard
// input from a file and its output is thrown away; the time is the wall time around the spawn.
//   node bench/interleave.mjs PLAN.json OUT.json
// PLAN: {"runs": N, "warmup": W, "commands": [{"name": ..., "argv": [...], "stdin": FILE?,
//        "env": {...}?}, ...]}
// OUT: hyperfine's layout, {"results": [{"command", "median", "mean", "stddev", "min", "times"}]},
// in seconds; the order of the commands is turned round every round.
import { spawnSync } from 'node:child_process';
import { openSync, closeSync, readFileSync, writeFileSync } from 'node:fs';

const [planFile, outFile] = process.argv.slice(2);
const plan = JSON.parse(readFileSync(planFile, 'utf8'));
const times = plan.commands.map(() => []);

function runOnce(command) {
  const input = command.stdin ? openSync(command.stdin, 'r') : 'ignore';
  const start = process.hrtime.bigint();
  const result = spawnSync(command.argv[0], command.argv.slice(1), {
    stdio: [input, 'ignore', 'ignore'],
    env: { ...process.env, ...(command.env ?? {}) },
  });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (command.stdin) closeSync(input);
  if (result.error || result.status !== 0) {
    throw new Error(`${command.name} failed: ${result.error ?? `exit ${result.status}`}`);
  }
  return seconds;
}

const order = plan.commands.map((_, i) => i);
for (let round = 0; round < (plan.warmup ?? 1) + plan.runs; round++) {
  for (const i of order) {
    const t = runOnce(plan.commands[i]);
    if (round >= (plan.warmup ?? 1)) times[i].push(t);
  }
  order.reverse();
}

const results = plan.commands.map((command, i) => {
  const xs = [...times[i]].sort((a, b) => a - b);
  const mean = xs.reduce((a, b) => a + b, 0) / xs.length;
  const stddev = Math.sqrt(xs.reduce((a, b) => a + (b - mean) ** 2, 0) / Math.max(1, xs.length - 1));
  return { command: command.name, median: xs[Math.floor(xs.length / 2)], mean, stddev, min: xs[0], times: times[i] };
});
writeFileSync(outFile, JSON.stringify({ results }, null, 1));
