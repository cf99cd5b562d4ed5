-- Sample catalogue rows, column definitions, user tables, records and
-- attachments (large objects). Loaded after schema_tables.sql by
-- tests/support/rvschema.cpp, as the application role. Ids below are fixed:
-- tests rely on them.
--
-- Users (rvsys_user): 1 管理者, 2 山田 太郎, 3 佐藤 花子, 4 鈴木 一郎,
--   5 高橋 二郎, 6 田中 三郎, 7 伊藤 四郎, 8 渡辺 五郎, 9 中村 六郎.
-- Groups (rvsys_group_user): 10 = {2, 4}, 11 = {2, 3}, 12 = {5, 6},
--   13 = {5}, 14 = {9}.
-- Rights (rv_tbl_acc): table 1 everyone refer only, user 2 everything,
--   group 12 refer+entry, group 13 refer+delete, user 6 refer only, user 8
--   an entry that gives nothing (every right NULL), group 14 every right '0';
--   table 2 group 10 refer+export; table 3 group 11 refer; table 5 (stopped)
--   everyone everything. Admin of table 4: user 3. User 7 is in no group.
--   So user 4 may refer to table 2 but not to table 3, which the relcpy
--   column 2.4 and the calculation 2.10 over it read.
--
-- Tables (rv_tbl; every table has the system columns -1 rvkey key,
-- -2 regist_uname user, -3 regist_date datetime, -4 update_uname user,
-- -5 update_date datetime):
--
--  1 全項目テーブル (running, seqno 1; tbl_options enable_search_hit_count=on)
--     1 text, 2 texts, 3 mail, 4 url, 5 number, 6 numbercal, 7 datetime,
--     8 datetimecal, 9 timespan, 10 timespancal, 11 select, 12 selects,
--     13 user, 14 file, 15 image.
--     Records 1 (all filled), 2 (all NULL), 1234 (edge values).
--     Attachments: 1, 2 (col 14, record 1), 3 (image col 15, record 1, 2x3),
--     4, 5 (col 14, record 1234, both "same.txt"; 5 inserted first),
--     6 (col 14, record 1234, "report?.pdf", img_width NULL).
--  2 受注 (running, seqno 2): relations and a calculation
--     1 text, 2 relkey -> table 3, 3 relref -> 3.1 (text) via 2,
--     4 relcpy of 3.2 (number) via 2, 5 relref -> 3.3 (image) via 2,
--     6 relref -> 3.4 (file) via 2, 7 relref -> 3.6 (relref -> 4.1 text) via 2,
--     8 relref -> 3.7 (relref -> 4.2 file) via 2, 9 number,
--     10 numbercal (4 * 9).
--     Records 1 (-> customer 1), 2 (-> customer 2), 3 (no customer).
--  3 顧客 (running, seqno 3): 1 text, 2 number, 3 image, 4 file,
--     5 relkey -> table 4, 6 relref -> 4.1 via 5, 7 relref -> 4.2 (file) via 5.
--     Records 1 (-> department 2), 2 (-> department 1).
--     Attachments: 31 (image col 3, record 1), 32 (col 4, record 1).
--  4 部署 (running, seqno 4): 1 text, 2 file. Records 1, 2.
--     Attachments: 41 (col 2, record 1), 42 (col 2, record 2).
--     Order 1 of table 2 reaches department 2 through customer 1: its
--     column 8 shows the files of department 2 (attachment 42), never 41.
--  5 循環定義 (stopped, seqno 5): definitions that form cycles.
--     1 relkey -> table 5, 2 relref -> 5.3 via 1, 3 relref -> 5.2 via 1,
--     4 relcpy of itself (value type relcpy), 5 numbercal of 6, 6 numbercal of 5.
--     Record 1.
--  6 不正定義 (stopped, seqno 6): 1 text, 2 relkey -> table 4,
--     3 relref -> 4.99 (a deleted column) via 2, 4 of the unknown type "memo".
--     Record 1.

INSERT INTO rvsys_user (id, name) VALUES (1, '管理者'), (2, '山田 太郎'), (3, '佐藤 花子'),
  (4, '鈴木 一郎'), (5, '高橋 二郎'), (6, '田中 三郎'), (7, '伊藤 四郎'), (8, '渡辺 五郎'), (9, '中村 六郎');
INSERT INTO rvsys_group_user (id, sid_assign) VALUES (10, 2), (11, 2), (11, 3), (10, 4),
  (12, 5), (12, 6), (13, 5), (14, 9);

INSERT INTO rv_tbl (tbl_id, status, seqno, tbl_lname, note, regist_date, regist_uid, regist_uname,
                    update_date, records, tbl_key, tbl_options) VALUES
  (1, '1', 1, '全項目テーブル', '全ての項目型', '2024-01-31 23:59:59+09', 1, '管理者',
   '2024-02-01 09:00:00+09', 3, 'all', E'enable_search_hit_count=on\n'),
  (2, '1', 2, '受注', NULL, '2024-01-01 00:00:00+09', 2, '山田 太郎', NULL, 3, 'order', NULL),
  (3, '1', 3, '顧客', NULL, '2024-01-01 00:00:00+09', 2, '山田 太郎', NULL, 2, 'customer', NULL),
  (4, '1', 4, '部署', NULL, '2024-01-01 00:00:00+09', 3, '佐藤 花子', NULL, 2, 'dept', NULL),
  (5, '0', 5, '循環定義', NULL, '2024-01-01 00:00:00+09', 99, '削除済み', NULL, 1, 'cycle', NULL),
  (6, '0', 6, '不正定義', NULL, '2024-01-01 00:00:00+09', 1, '管理者', NULL, 1, 'broken', NULL);

INSERT INTO rv_tbl_acc (tbl_id, u_id, g_id,
  u_acc_refer, u_acc_entry, u_acc_change, u_acc_delete, u_acc_addcmt, u_acc_export,
  g_acc_refer, g_acc_entry, g_acc_change, g_acc_delete, g_acc_addcmt, g_acc_export,
  a_acc_refer, a_acc_entry, a_acc_change, a_acc_delete, a_acc_addcmt, a_acc_export) VALUES
  (1, NULL, -1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '1', '0', '0', '0', '0', '0'),
  (1, 2, NULL, '1', '1', '1', '1', '1', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, NULL, 10, NULL, NULL, NULL, NULL, NULL, NULL, '1', '0', '0', '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL),
  (3, NULL, 11, NULL, NULL, NULL, NULL, NULL, NULL, '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, NULL, 12, NULL, NULL, NULL, NULL, NULL, NULL, '1', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, NULL, 13, NULL, NULL, NULL, NULL, NULL, NULL, '1', '0', '0', '1', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 6, NULL, '1', '0', '0', '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 8, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, NULL, 14, NULL, NULL, NULL, NULL, NULL, NULL, '0', '0', '0', '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL),
  (5, NULL, -1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '1', '1', '1', '1', '1', '1');
INSERT INTO rv_tbl_admin (tbl_id, dbadmin_uid) VALUES (4, 3);

-- System columns of every table.
INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type)
SELECT t, c.id, c.typ, c.lname, c.seq, c.typ
FROM generate_series(1, 6) AS t,
     (VALUES (-1, 'key', 'キー', 0), (-2, 'user', '登録者', 901), (-3, 'datetime', '登録日時', 902),
             (-4, 'user', '更新者', 903), (-5, 'datetime', '更新日時', 904)) AS c(id, typ, lname, seq);

INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type, rel_tbl_id, rel_col_id, rel_key,
                        c_must, c_uniq, c_sort, c_input_selects, v_init_val, c_input_auto_correct, calc_expr,
                        f_round_level, f_round_type, f_comma_split, f_prefix, f_affix, v_input_help) VALUES
  (1, 1, 'text', '氏名', 10, 'text', NULL, NULL, NULL, '1', '0', '1', NULL, NULL,
   E'autocrrct=1\nacsp=1\nacalp=0\nacnum=0\nachkk=0\naczkk=1\naczhk=0', NULL, NULL, NULL, NULL, NULL, NULL, '姓と名'),
  (1, 2, 'texts', '備考', 20, 'texts', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 3, 'mail', 'メール', 30, 'mail', NULL, NULL, NULL, '0', '1', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 4, 'url', 'ホームページ', 40, 'url', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 5, 'number', '金額', 50, 'number', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, '2', 'r', '1', '¥', '円', NULL),
  (1, 6, 'numbercal', '税込金額', 60, 'numbercal', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL,
   E'type=binary\nterm1=5\nterm1val=\nterm2=0\nterm2val=1.1\noperator=2', '0', 'd', '1', NULL, NULL, NULL),
  (1, 7, 'datetime', '受付日時', 70, 'datetime', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 8, 'datetimecal', '期限', 80, 'datetimecal', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL,
   E'type=dateadd\nterm1=7\nterm2=9\noperator=0', NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 9, 'timespan', '所要時間', 90, 'timespan', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 10, 'timespancal', '経過', 100, 'timespancal', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL,
   E'type=datesub\nterm1=8\nterm2=7', NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 11, 'select', '区分', 110, 'select', NULL, NULL, NULL, '0', '0', '1', E'\n一般\n特別\n', E'\n一般\n', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 12, 'selects', '色', 120, 'selects', NULL, NULL, NULL, '0', '0', '0', E'\nred\nblue\ngreen\n', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 13, 'user', '担当者', 130, 'user', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 14, 'file', '添付', 140, 'file', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 15, 'image', '写真', 150, 'image', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),

  (2, 1, 'text', '件名', 10, 'text', NULL, NULL, NULL, '1', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 2, 'relkey', '顧客', 20, 'key', 3, -1, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 3, 'relref', '顧客名', 30, 'text', 3, 1, 2, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 4, 'relcpy', '単価', 40, 'number', 3, 2, 2, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 5, 'relref', '顧客写真', 50, 'image', 3, 3, 2, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 6, 'relref', '顧客資料', 60, 'file', 3, 4, 2, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 7, 'relref', '担当部署', 70, 'text', 3, 6, 2, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 8, 'relref', '部署資料', 80, 'file', 3, 7, 2, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 9, 'number', '数量', 90, 'number', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, '0', 'r', '1', NULL, NULL, NULL),
  (2, 10, 'numbercal', '小計', 100, 'numbercal', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL,
   E'type=binary\nterm1=4\nterm2=9\noperator=2', '0', 'r', '1', NULL, NULL, NULL),

  (3, 1, 'text', '顧客名', 10, 'text', NULL, NULL, NULL, '1', '1', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (3, 2, 'number', '単価', 20, 'number', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, '0', 'r', '1', NULL, NULL, NULL),
  (3, 3, 'image', '写真', 30, 'image', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (3, 4, 'file', '資料', 40, 'file', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (3, 5, 'relkey', '部署', 50, 'key', 4, -1, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (3, 6, 'relref', '部署名', 60, 'text', 4, 1, 5, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (3, 7, 'relref', '部署資料', 70, 'file', 4, 2, 5, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),

  (4, 1, 'text', '部署名', 10, 'text', NULL, NULL, NULL, '1', '1', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (4, 2, 'file', '部署資料', 20, 'file', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),

  (5, 1, 'relkey', '自己参照', 10, 'key', 5, -1, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (5, 2, 'relref', '参照A', 20, 'text', 5, 3, 1, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (5, 3, 'relref', '参照B', 30, 'text', 5, 2, 1, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (5, 4, 'relcpy', '自己複写', 40, 'relcpy', 5, 4, 1, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (5, 5, 'numbercal', '計算A', 50, 'numbercal', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL,
   E'type=binary\nterm1=6\nterm2=0\nterm2val=1\noperator=0', NULL, NULL, NULL, NULL, NULL, NULL),
  (5, 6, 'numbercal', '計算B', 60, 'numbercal', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL,
   E'type=binary\nterm1=5\nterm2=0\nterm2val=1\noperator=0', NULL, NULL, NULL, NULL, NULL, NULL),

  (6, 1, 'text', '名前', 10, 'text', NULL, NULL, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (6, 2, 'relkey', '部署', 20, 'key', 4, -1, NULL, '0', '0', '1', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (6, 3, 'relref', '削除済み参照', 30, 'text', 4, 99, 2, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (6, 4, 'memo', '未知の型', 40, 'memo', NULL, NULL, NULL, '0', '0', '0', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);

-- Data tables. Physical columns per type: key/relkey/timespan numeric(9),
-- text/texts/select/selects text, mail/user character varying(256),
-- url text + _lbl character varying(256), number numeric(20,5),
-- calculated kinds + _status numeric(4), date-times timestamp without time
-- zone, file character(1), image numeric(9) (the attachment's content_id).

CREATE TABLE tbl00001 (
  rvkey           numeric(9) PRIMARY KEY,
  regist_uname    character varying(256),
  regist_date     timestamp without time zone,
  update_uname    character varying(256),
  update_date     timestamp without time zone,
  col00001        text,
  col00002        text,
  col00003        character varying(256),
  col00004        text,
  col00004_lbl    character varying(256),
  col00005        numeric(20,5),
  col00006        numeric(20,5),
  col00006_status numeric(4),
  col00007        timestamp without time zone,
  col00008        timestamp without time zone,
  col00008_status numeric(4),
  col00009        numeric(9),
  col00010        numeric(9),
  col00010_status numeric(4),
  col00011        text,
  col00012        text,
  col00013        character varying(256),
  col00014        character(1),
  col00015        numeric(9)
);

CREATE TABLE tbl00002 (
  rvkey           numeric(9) PRIMARY KEY,
  regist_uname    character varying(256),
  regist_date     timestamp without time zone,
  update_uname    character varying(256),
  update_date     timestamp without time zone,
  col00001        text,
  col00002        numeric(9),
  col00004        numeric(20,5),
  col00009        numeric(20,5),
  col00010        numeric(20,5),
  col00010_status numeric(4)
);

CREATE TABLE tbl00003 (
  rvkey        numeric(9) PRIMARY KEY,
  regist_uname character varying(256),
  regist_date  timestamp without time zone,
  update_uname character varying(256),
  update_date  timestamp without time zone,
  col00001     text,
  col00002     numeric(20,5),
  col00003     numeric(9),
  col00004     character(1),
  col00005     numeric(9)
);

CREATE TABLE tbl00004 (
  rvkey        numeric(9) PRIMARY KEY,
  regist_uname character varying(256),
  regist_date  timestamp without time zone,
  update_uname character varying(256),
  update_date  timestamp without time zone,
  col00001     text,
  col00002     character(1)
);

CREATE TABLE tbl00005 (
  rvkey           numeric(9) PRIMARY KEY,
  regist_uname    character varying(256),
  regist_date     timestamp without time zone,
  update_uname    character varying(256),
  update_date     timestamp without time zone,
  col00001        numeric(9),
  col00005        numeric(20,5),
  col00005_status numeric(4),
  col00006        numeric(20,5),
  col00006_status numeric(4)
);

CREATE TABLE tbl00006 (
  rvkey        numeric(9) PRIMARY KEY,
  regist_uname character varying(256),
  regist_date  timestamp without time zone,
  update_uname character varying(256),
  update_date  timestamp without time zone,
  col00001     text,
  col00002     numeric(9),
  col00004     text
);

-- Attachment tables: content_id joins the numeric image column; lobfile is
-- the large object's OID.
CREATE TABLE tbl00001_lob (
  content_id numeric(9) PRIMARY KEY,
  col_id     numeric(9) NOT NULL,
  rvkey      numeric(9) NOT NULL,
  file_name  character varying(255),
  file_size  numeric(9),
  mime_type  character varying(64),
  img_width  numeric(9),
  img_height numeric(9),
  lobfile    oid
);
CREATE TABLE tbl00002_lob (LIKE tbl00001_lob INCLUDING ALL);
CREATE TABLE tbl00003_lob (LIKE tbl00001_lob INCLUDING ALL);
CREATE TABLE tbl00004_lob (LIKE tbl00001_lob INCLUDING ALL);
CREATE TABLE tbl00005_lob (LIKE tbl00001_lob INCLUDING ALL);
CREATE TABLE tbl00006_lob (LIKE tbl00001_lob INCLUDING ALL);

INSERT INTO tbl00001 VALUES
  (1, '山田 太郎', '2024-01-31 23:59:59', '佐藤 花子', '2024-02-01 09:00:00',
   '山田 太郎', E'一行目\r\n二行目, "引用"\r\n', 'taro@example.com', 'https://example.com/?a=1&b=2', '例のページ',
   12.5, 13.75, 0, '2024-01-31 23:59:59', '2024-02-02 01:02:03', 0, 93784, 3600, 0,
   '一般', E'\nred\nblue\n', '山田 太郎', '1', 3),
  (2, '山田 太郎', '2024-02-01 00:00:00', NULL, NULL,
   NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
   NULL, NULL, NULL, NULL, NULL),
  (1234, '佐藤 花子', '2000-02-29 12:00:00', '佐藤 花子', '2000-02-29 12:00:01',
   '', E'タブ\tと"二重引用符",カンマ', '', 'http://localhost/', '',
   -999999999999999.99999, 999999999999999.99999, 1, '0001-01-01 00:00:00', '9999-12-31 23:59:59', 2, 0, 999999999, 1,
   '特別', '', '', '1', NULL);

INSERT INTO tbl00002 VALUES
  (1, '山田 太郎', '2024-03-01 10:00:00', NULL, NULL, '初回注文', 1, 1500, 3, 4500, 0),
  (2, '山田 太郎', '2024-03-02 10:00:00', NULL, NULL, '追加注文', 2, NULL, 1, NULL, 1),
  (3, '佐藤 花子', '2024-03-03 10:00:00', NULL, NULL, '顧客なし', NULL, NULL, NULL, NULL, NULL);

INSERT INTO tbl00003 VALUES
  (1, '山田 太郎', '2024-01-10 10:00:00', NULL, NULL, '株式会社テスト', 1500, 31, '1', 2),
  (2, '山田 太郎', '2024-01-11 10:00:00', NULL, NULL, 'Sample Co.', NULL, NULL, NULL, 1);

INSERT INTO tbl00004 VALUES
  (1, '佐藤 花子', '2024-01-05 10:00:00', NULL, NULL, '営業部', '1'),
  (2, '佐藤 花子', '2024-01-05 10:00:01', NULL, NULL, '開発部', '1');

INSERT INTO tbl00005 VALUES (1, '管理者', '2024-01-01 00:00:00', NULL, NULL, 1, NULL, NULL, NULL, NULL);
INSERT INTO tbl00006 VALUES (1, '管理者', '2024-01-01 00:00:00', NULL, NULL, '不正', 1, 'メモ');

-- Attachments: file_size is the content's length.
INSERT INTO tbl00001_lob (content_id, col_id, rvkey, file_name, file_size, mime_type, img_width, img_height, lobfile)
SELECT v.cid, v.col, v.k, v.fname, octet_length(v.body), v.mime, v.w, v.h, lo_from_bytea(0, v.body)
FROM (VALUES
  (1, 14, 1, '見積書.pdf', convert_to('%PDF-1.4 見積書', 'UTF8'), 'application/pdf', NULL::numeric, NULL::numeric),
  (2, 14, 1, 'memo.txt', convert_to(E'メモ\nline 2\n', 'UTF8'), 'text/plain', NULL, NULL),
  (3, 15, 1, 'photo.png', decode('89504e470d0a1a0a0000000d49484452000000020000000308060000', 'hex'), 'image/png', 2, 3),
  (5, 14, 1234, 'same.txt', convert_to('second', 'UTF8'), 'text/plain', NULL, NULL),
  (4, 14, 1234, 'same.txt', convert_to('first', 'UTF8'), 'text/plain', NULL, NULL),
  (6, 14, 1234, 'report?.pdf', decode('00ff00ff', 'hex'), 'application/pdf', NULL, NULL)
) AS v(cid, col, k, fname, body, mime, w, h);

INSERT INTO tbl00003_lob (content_id, col_id, rvkey, file_name, file_size, mime_type, img_width, img_height, lobfile)
SELECT v.cid, v.col, v.k, v.fname, octet_length(v.body), v.mime, v.w, v.h, lo_from_bytea(0, v.body)
FROM (VALUES
  (31, 3, 1, 'logo.png', decode('89504e470d0a1a0a', 'hex'), 'image/png', 16::numeric, 16::numeric),
  (32, 4, 1, 'contract.pdf', convert_to('%PDF-1.4 契約書', 'UTF8'), 'application/pdf', NULL, NULL)
) AS v(cid, col, k, fname, body, mime, w, h);

INSERT INTO tbl00004_lob (content_id, col_id, rvkey, file_name, file_size, mime_type, img_width, img_height, lobfile)
SELECT v.cid, v.col, v.k, v.fname, octet_length(v.body), v.mime, NULL, NULL, lo_from_bytea(0, v.body)
FROM (VALUES
  (41, 2, 1, 'sales.txt', convert_to('営業部の資料', 'UTF8'), 'text/plain'),
  (42, 2, 2, 'dev.txt', convert_to('開発部の資料', 'UTF8'), 'text/plain')
) AS v(cid, col, k, fname, body, mime);
