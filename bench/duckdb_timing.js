// Times one DuckDB operation inside node, so that starting node and loading
// DuckDB are not counted, and prints "SECONDS 0" (bench/run's wall-time and
// memory record). Run by bench/run with the folder where npm installed
// @duckdb/node-api; DuckDB runs on two threads.
//
//   node duckdb_timing.js DIR make DB JSONL   a table C from the JSON Lines
//                                             into the new database file DB
//   node duckdb_timing.js DIR load DB CSV     the same from a CSV file, untimed
//   node duckdb_timing.js DIR copy DB OUT     COPY C TO OUT (FORMAT csv, HEADER)
'use strict';
const path = require('path');

const [dir, what, db, file] = process.argv.slice(2);
const { DuckDBInstance } = require(path.join(dir, 'node_modules', '@duckdb', 'node-api'));

// The columns of class C, as the sqlite3 rows declare them.
const columns = "{name: 'VARCHAR', id: 'INTEGER', value: 'DOUBLE', flag: 'VARCHAR', data: 'VARCHAR'}";

function quoted(s) {
  return "'" + s.replace(/'/g, "''") + "'";
}

async function main() {
  let start = process.hrtime.bigint();
  const instance = await DuckDBInstance.create(db, { threads: '2' });
  const connection = await instance.connect();
  if (what === 'make') {
    await connection.run(
      `CREATE TABLE C AS SELECT * FROM read_json(${quoted(file)}, ` +
        `format = 'newline_delimited', columns = ${columns})`);
    await connection.run('CHECKPOINT');
  } else if (what === 'load') {
    await connection.run(`CREATE TABLE C AS SELECT * FROM read_csv(${quoted(file)}, header = true)`);
    await connection.run('CHECKPOINT');
  } else if (what === 'copy') {
    start = process.hrtime.bigint();
    await connection.run(`COPY C TO ${quoted(file)} (FORMAT csv, HEADER)`);
  } else {
    throw new Error('unknown operation ' + what);
  }
  const took = Number(process.hrtime.bigint() - start) / 1e9;
  const count = await connection.runAndReadAll('SELECT count(*) FROM C');
  connection.closeSync();
  instance.closeSync();
  if (Number(count.getRows()[0][0]) <= 0) throw new Error('table C is empty');
  if (what !== 'load') console.log(took.toFixed(9) + ' 0');
}

main().catch((e) => {
  console.error('duckdb_timing.js: ' + e.message);
  process.exit(1);
});
